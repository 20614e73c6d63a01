// Plays the browser for the prefetching applet: serves a site directory on 127.0.0.1, reads the
// applet tag of one edited page, loads the applet's classes from the archive the tag names (over
// HTTP, as a browser would), calls startRunning() as the page's onLoad handler does, and prints
// every request made from then on ("GET /path") and every status-bar note ("status: text").
// Usage: AppletHarness SITE_DIR PAGE_NAME
import com.sun.net.httpserver.HttpExchange;
import com.sun.net.httpserver.HttpServer;
import java.applet.AppletContext;
import java.applet.AppletStub;
import java.lang.reflect.Proxy;
import java.net.InetSocketAddress;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

public class AppletHarness {
    static final List<String> seen = new ArrayList<>();
    static volatile boolean recording;

    public static void main(String[] args) throws Exception {
        Path root = Paths.get(args[0]);
        HttpServer server = HttpServer.create(new InetSocketAddress("127.0.0.1", 0), 0);
        server.createContext("/", (HttpExchange exchange) -> {
            String path = exchange.getRequestURI().getRawPath();
            synchronized (seen) {
                if (recording) seen.add(exchange.getRequestMethod() + " " + path);
            }
            Path file = root.resolve(exchange.getRequestURI().getPath().substring(1)).normalize();
            byte[] body = file.startsWith(root) && Files.isRegularFile(file)
                    ? Files.readAllBytes(file) : null;
            exchange.sendResponseHeaders(body == null ? 404 : 200, body == null ? -1 : body.length);
            if (body != null) exchange.getResponseBody().write(body);
            exchange.close();
        });
        server.start();
        // The applet's console lines, printed after the requests with the origin shortened.
        java.io.ByteArrayOutputStream console = new java.io.ByteArrayOutputStream();
        System.setErr(new java.io.PrintStream(console, true));
        String origin = "http://127.0.0.1:" + server.getAddress().getPort();
        try {
            run(root, args[1], server.getAddress().getPort());
        } finally {
            server.stop(0);
        }
        for (String line : console.toString().split("\n")) {
            if (!line.isEmpty()) System.out.println("console: " + line.replace(origin, ""));
        }
    }

    static String attribute(String html, String regex) {
        Matcher m = Pattern.compile(regex, Pattern.CASE_INSENSITIVE).matcher(html);
        if (!m.find()) throw new IllegalStateException("no match for " + regex);
        return m.group(1);
    }

    static void run(Path root, String page, int port) throws Exception {
        String html = new String(Files.readAllBytes(root.resolve(page.substring(1))),
                                 StandardCharsets.ISO_8859_1);
        String codebase = attribute(html, "<applet Codebase=\"([^\"]*)\"");
        String archive = attribute(html, "<applet [^>]*archive=\"([^\"]*)\"");
        String code = attribute(html, "<applet [^>]*code=\"([^\".]*)\\.class\"");
        String id = attribute(html, "<PARAM name=\"ID\" VALUE=\"([^\"]*)\"");
        URL document = new URL("http://127.0.0.1:" + port + page.replace(" ", "%20"));
        URL codeBase = new URL(document, codebase + "/");
        URLClassLoader loader = new URLClassLoader(new URL[] {new URL(codeBase, archive)}, null);
        for (String name : new String[] {code, "a", "b"}) Class.forName(name, true, loader);
        java.applet.Applet applet =
            (java.applet.Applet) loader.loadClass(code).getDeclaredConstructor().newInstance();
        AppletContext context = (AppletContext) Proxy.newProxyInstance(
            AppletHarness.class.getClassLoader(), new Class<?>[] {AppletContext.class},
            (proxy, method, margs) -> {
                if (method.getName().equals("showStatus")) {
                    synchronized (seen) { seen.add("status: " + margs[0]); }
                }
                return null;
            });
        applet.setStub(new AppletStub() {
            public boolean isActive() { return true; }
            public URL getDocumentBase() { return document; }
            public URL getCodeBase() { return codeBase; }
            public String getParameter(String name) { return name.equals("ID") ? id : null; }
            public AppletContext getAppletContext() { return context; }
            public void appletResize(int width, int height) {}
        });
        applet.init();
        applet.start();
        recording = true;
        // The page's onLoad handler; a second call must not start a second fetcher.
        applet.getClass().getMethod("startRunning").invoke(applet);
        applet.getClass().getMethod("startRunning").invoke(applet);
        java.lang.reflect.Method finished = applet.getClass().getMethod("isFinished");
        for (int i = 0; i < 600 && !(Boolean) finished.invoke(applet); ++i) Thread.sleep(50);
        if (!(Boolean) finished.invoke(applet)) System.out.println("unfinished");
        applet.stop();
        applet.destroy();
        synchronized (seen) {
            for (String line : seen) System.out.println(line);
        }
    }
}
