#!/usr/bin/env python3
"""An HTTPS server on 127.0.0.1 for tests: serves "secret" with the given certificate and
prints the outcome of every TLS handshake ("handshake: OK" or "handshake: <reason>")."""
import http.server
import ssl
import sys

cert, key = sys.argv[1], sys.argv[2]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = b"secret"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.HTTPServer):
    def get_request(self):
        sock, address = self.socket.accept()
        try:
            tls = context.wrap_socket(sock, server_side=True)
        except (ssl.SSLError, OSError) as error:
            print("handshake:", getattr(error, "reason", None) or error, flush=True)
            sock.close()
            raise OSError("handshake failed")
        print("handshake: OK", flush=True)
        return tls, address


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
