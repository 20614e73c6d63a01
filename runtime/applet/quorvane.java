// The applet that pages carry in their "Quorvane" block. The page's onLoad handler calls
// startRunning() once the page has loaded; from then on a low-priority thread (class a) reads the
// page's fetch file, named by the ID parameter, and fetches what it lists, so that the visitor's
// next page is already in the browser's cache. The browser's applet thread calls every method.
//
// Only three classes (quorvane, a, b) may exist: pages that load the loose class files from the
// agent directory find no others there. So no inner, anonymous or nested classes.

import java.applet.Applet;
import java.net.URL;

public class quorvane extends Applet {
    private static final long serialVersionUID = 1L;

    private a worker; // the fetcher, made by the first startRunning()

    // Starts prefetching for this page view: once, whatever the number of calls. The ID
    // parameter is the page's first fetch file relative to the page, or "@@" when the page has
    // none; the agent directory (the code base) holds quorvane.properties.
    public void startRunning() {
        a started;
        synchronized (this) {
            if (worker != null) {
                return;
            }
            URL document = getDocumentBase();
            URL codeBase = getCodeBase();
            worker = new a(this, document, codeBase, getParameter("ID"));
            started = worker;
        }
        Thread thread = new Thread(started, "quorvane prefetch");
        thread.setPriority(Thread.MIN_PRIORITY);
        thread.setDaemon(true);
        thread.start();
    }

    // The page was left or hidden: prefetching waits after the request in progress.
    public void stop() {
        a current = current();
        if (current != null) {
            current.pause(true);
        }
    }

    // The page is shown again: prefetching goes on where it waited.
    public void start() {
        a current = current();
        if (current != null) {
            current.pause(false);
        }
    }

    public void destroy() {
        a current = current();
        if (current != null) {
            current.end();
        }
    }

    // True once startRunning() was called and the fetcher has finished its list (or given up).
    public boolean isFinished() {
        a current = current();
        return current != null && current.isFinished();
    }

    public String getAppletInfo() {
        return "Quorvane: prefetches the pages a visitor is likely to open next";
    }

    public String[][] getParameterInfo() {
        return new String[][] {
            {"ID", "URL", "the page's first fetch file, relative to the page, or @@"},
        };
    }

    // A short note in the browser's status bar (when quorvane.properties asks for them).
    void note(String text) {
        try {
            showStatus(text);
        } catch (RuntimeException e) {
            // Without an applet context (the page is going away) there is nowhere to show it.
        }
    }

    private synchronized a current() {
        return worker;
    }
}
