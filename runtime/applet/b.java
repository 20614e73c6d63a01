// The fetcher's helpers: fetching one URL of the page's origin, decoding the two forms of the
// instruction files, reading quorvane.properties. Stateless; any thread.
//
// Instruction files come in two forms. Text: each line followed by LF. Scrambled: "{{", four key
// bytes, then each line followed by ";", every byte after the header XORed with key byte
// (i mod 4), i counting from the first byte after the header across the whole file. Names are
// taken byte for byte; a line end inside a name was written percent-encoded.

import java.io.ByteArrayOutputStream;
import java.io.InputStream;
import java.net.HttpURLConnection;
import java.net.URL;
import java.net.URLConnection;
import java.nio.charset.Charset;
import java.util.ArrayList;

class b {
    // The largest instruction or properties file read.
    static final int MAX_FILE = 1 << 20;

    private static final String HEX = "0123456789ABCDEF";
    private static final String UNSAFE = "\"<>\\^`{|}";
    private static final Charset UTF8 = Charset.forName("UTF-8");

    private b() {}

    // Fetches url through the browser's cache. limit < 0: the body is read and dropped (an
    // empty array comes back); otherwise the body, or null when it is longer than limit. Null
    // when the request fails or is not answered with a 2xx status.
    static byte[] fetch(URL url, int limit) {
        InputStream in = null;
        try {
            URLConnection connection = url.openConnection();
            connection.setUseCaches(true);
            connection.setConnectTimeout(30000);
            connection.setReadTimeout(30000);
            if (connection instanceof HttpURLConnection) {
                HttpURLConnection http = (HttpURLConnection) connection;
                http.setInstanceFollowRedirects(false);
                int status = http.getResponseCode();
                if (status < 200 || status > 299) {
                    InputStream error = http.getErrorStream();
                    if (error != null) {
                        error.close();
                    }
                    return null;
                }
            }
            in = connection.getInputStream();
            ByteArrayOutputStream body = new ByteArrayOutputStream();
            byte[] chunk = new byte[8192];
            int total = 0;
            for (int n; (n = in.read(chunk)) > 0;) {
                total += n;
                if (limit >= 0) {
                    if (total > limit) {
                        return null;
                    }
                    body.write(chunk, 0, n);
                }
            }
            return body.toByteArray();
        } catch (Exception e) {
            return null;
        } finally {
            if (in != null) {
                try {
                    in.close();
                } catch (Exception e) {
                    // Nothing more to read from it either way.
                }
            }
        }
    }

    // The lines of an instruction file in either form, each char one byte of the file. Null
    // for no file, a scrambled file cut inside its header, or a last line without its end.
    static String[] decode(byte[] data) {
        if (data == null) {
            return null;
        }
        boolean scrambled = data.length >= 2 && data[0] == '{' && data[1] == '{';
        int start = 0;
        char end = '\n';
        if (scrambled) {
            if (data.length < 6) {
                return null;
            }
            start = 6;
            end = ';';
        }
        ArrayList<String> lines = new ArrayList<String>();
        StringBuilder line = new StringBuilder();
        for (int i = start; i < data.length; ++i) {
            int value = data[i] & 0xFF;
            if (scrambled) {
                value ^= data[2 + (i - start) % 4] & 0xFF;
            }
            char c = (char) value;
            if (c == end) {
                int length = line.length();
                if (!scrambled && length > 0 && line.charAt(length - 1) == '\r') {
                    line.setLength(length - 1);
                }
                lines.add(line.toString());
                line.setLength(0);
            } else {
                line.append(c);
            }
        }
        if (line.length() > 0) {
            return null;
        }
        return lines.toArray(new String[lines.size()]);
    }

    // Whether quorvane.properties asks for notes: a line "ShowPrefetch=yes".
    static boolean showPrefetch(byte[] properties) {
        String[] lines = decode(properties);
        if (lines == null) {
            return false;
        }
        for (int i = 0; i < lines.length; ++i) {
            int equals = lines[i].indexOf('=');
            if (equals > 0 && lines[i].substring(0, equals).trim().equalsIgnoreCase("ShowPrefetch")
                    && lines[i].substring(equals + 1).trim().equalsIgnoreCase("yes")) {
                return true;
            }
        }
        return false;
    }

    // reference resolved against the page, with bytes that may not stand in a URL
    // percent-encoded. Null when it is malformed or leads to another origin than the page's.
    static URL resolve(URL document, String reference) {
        try {
            URL url = new URL(document, escape(reference.trim()));
            if (!url.getProtocol().equalsIgnoreCase(document.getProtocol())
                    || !url.getHost().equalsIgnoreCase(document.getHost())
                    || port(url) != port(document)) {
                return null;
            }
            return url;
        } catch (Exception e) {
            return null;
        }
    }

    private static int port(URL url) {
        return url.getPort() >= 0 ? url.getPort() : url.getDefaultPort();
    }

    // Percent-encodes blanks, control bytes, bytes above 0x7E and the characters a URL may not
    // hold; "%" stays, so names written percent-encoded keep their meaning.
    static String escape(String text) {
        StringBuilder out = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); ++i) {
            char c = text.charAt(i);
            if (c > 0xFF) {
                // A character of a parameter rather than a byte of a file: its UTF-8 bytes.
                int codePoint = text.codePointAt(i);
                i += Character.charCount(codePoint) - 1;
                byte[] bytes = new String(Character.toChars(codePoint)).getBytes(UTF8);
                for (int k = 0; k < bytes.length; ++k) {
                    percent(out, bytes[k] & 0xFF);
                }
            } else if (c <= ' ' || c >= 0x7F || UNSAFE.indexOf(c) >= 0) {
                percent(out, c);
            } else {
                out.append(c);
            }
        }
        return out.toString();
    }

    private static void percent(StringBuilder out, int value) {
        out.append('%').append(HEX.charAt(value >> 4)).append(HEX.charAt(value & 0xF));
    }
}
