// Reads every entry of an archive with java.util.zip and checks its size and CRC.
// Usage: java ZipReadCheck.java ARCHIVE; prints "ok N" or the first problem, exit code 0 when sound.
import java.io.InputStream;
import java.util.Enumeration;
import java.util.zip.CRC32;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

public class ZipReadCheck {
    public static void main(String[] args) throws Exception {
        int count = 0;
        byte[] buffer = new byte[1 << 20];
        try (ZipFile zip = new ZipFile(args[0])) {
            Enumeration<? extends ZipEntry> entries = zip.entries();
            while (entries.hasMoreElements()) {
                ZipEntry entry = entries.nextElement();
                CRC32 crc = new CRC32();
                long size = 0;
                try (InputStream in = zip.getInputStream(entry)) {
                    for (int n; (n = in.read(buffer)) > 0; size += n)
                        crc.update(buffer, 0, n);
                }
                if (size != entry.getSize() || crc.getValue() != entry.getCrc()) {
                    System.out.println("bad " + entry.getName());
                    System.exit(1);
                }
                ++count;
            }
        }
        System.out.println("ok " + count);
    }
}
