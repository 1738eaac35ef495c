#!/usr/bin/env python3
"""The program's web service: version check and error reports.

Answers
  /php/versioncheck.php?program=...&version=...
      with the download address of the newest version when the asking version is older,
      otherwise with a message for the user;
  /php/exceptions.php?program=...&version=...&exception=...&event=...&os=...&email=...
      by storing the report as a JSON file in the reports folder and thanking the sender.

The newest version is read from a file of "key=value" lines, on every request:
  version=1.2.0.0
  download=https://downloads.example.net/quoralis2005-setup-1.2.0.0.exe
  message=You have the latest version of Quoralis2005.      (optional)

Usage:
  server.py --latest latest.txt --reports reports/ [--host 127.0.0.1] [--port 8080]
            [--request-log requests.jsonl]
The first line printed is "listening on HOST:PORT" (with --port 0 the system picks the port).
Python standard library only.
"""

import argparse
import datetime
import json
import os
import sys
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, urlsplit

DEFAULT_MESSAGE = "You have the latest version of Quoralis2005."
THANKS = "Thank you, your report has been received."


def read_latest(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#") or "=" not in line:
                continue
            key, value = line.split("=", 1)
            values[key.strip()] = value.strip()
    return values


def version_tuple(text):
    parts = []
    for part in text.split("."):
        digits = "".join(ch for ch in part if ch.isdigit())
        parts.append(int(digits) if digits else 0)
    return tuple(parts + [0] * (4 - len(parts)))


class Handler(BaseHTTPRequestHandler):
    server_version = "QuoralisWebService/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s - %s\n" % (self.address_string(), fmt % args))

    def record_request(self):
        log = self.server.request_log
        if not log:
            return
        entry = {
            "requestline": self.requestline,
            "path": self.path,
            "version": self.request_version,
            "headers": [[k, v] for k, v in self.headers.items()],
        }
        with open(log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def answer(self, status, text):
        body = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.record_request()
        parts = urlsplit(self.path)
        query = dict(parse_qsl(parts.query, keep_blank_values=True))
        if parts.path == "/php/versioncheck.php":
            self.version_check(query)
        elif parts.path == "/php/exceptions.php":
            self.store_report(parts.query, query)
        else:
            self.answer(404, "Not found: " + parts.path)

    def version_check(self, query):
        try:
            latest = read_latest(self.server.latest_file)
        except OSError as error:
            self.answer(500, "The version service is not available (%s)." % error.strerror)
            return
        newest = latest.get("version", "")
        download = latest.get("download", "")
        asking = query.get("version", "")
        if newest and download and asking and version_tuple(asking) < version_tuple(newest):
            self.answer(200, download + "\r\n")
        else:
            self.answer(200, latest.get("message", DEFAULT_MESSAGE))

    def store_report(self, raw_query, query):
        received = datetime.datetime.now(datetime.timezone.utc)
        report = {
            "received": received.isoformat(),
            "client": self.client_address[0],
            "query": raw_query,
            "fields": query,
            "agent": self.headers.get("User-Agent", ""),
        }
        name = received.strftime("%Y%m%dT%H%M%S") + "-" + uuid.uuid4().hex[:8] + ".json"
        path = os.path.join(self.server.reports_dir, name)
        with open(path + ".part", "w", encoding="utf-8") as f:
            json.dump(report, f, ensure_ascii=False, indent=1)
        os.replace(path + ".part", path)
        self.answer(200, THANKS)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8080)
    parser.add_argument("--latest", required=True, help="file naming the newest version and its download address")
    parser.add_argument("--reports", required=True, help="folder the error reports are stored in")
    parser.add_argument("--request-log", help="file to append every request line and its headers to (JSON lines)")
    args = parser.parse_args()

    os.makedirs(args.reports, exist_ok=True)
    server = ThreadingHTTPServer((args.host, args.port), Handler)
    server.latest_file = args.latest
    server.reports_dir = args.reports
    server.request_log = args.request_log
    host, port = server.server_address[:2]
    print("listening on %s:%d" % (host, port), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
