// The fetcher of one page view: reads quorvane.properties in the code base, then the page's
// fetch file and each following part, and fetches every entry once, in list order, from the
// page's own origin. Entries and next-part references are relative to the page. A "#" line
// marks that the files of one target page are all fetched; it is shown in the status bar when
// the properties ask for it, and never fetched itself. Any unreadable or malformed instruction
// file ends the fetcher quietly, with one line on the console. Runs on its own thread; pause
// and end are called from the applet's thread.

import java.net.URL;
import java.util.HashSet;

class a implements Runnable {
    // The reference that stands for "no (further) fetch file".
    static final String NONE = "@@";
    // Parts followed at most, against a list whose parts name each other in a circle.
    private static final int MAX_PARTS = 1000;

    private final quorvane owner;
    private final URL document;
    private final URL codeBase;
    private final String id;
    private boolean paused;
    private boolean ended;
    private boolean finished;

    a(quorvane owner, URL document, URL codeBase, String id) {
        this.owner = owner;
        this.document = document;
        this.codeBase = codeBase;
        this.id = id;
    }

    public void run() {
        try {
            prefetch();
        } catch (Exception e) {
            System.err.println("Quorvane: " + e);
        } finally {
            synchronized (this) {
                finished = true;
                notifyAll();
            }
        }
    }

    synchronized void pause(boolean paused) {
        this.paused = paused;
        notifyAll();
    }

    synchronized void end() {
        ended = true;
        notifyAll();
    }

    synchronized boolean isFinished() {
        return finished;
    }

    private void prefetch() throws Exception {
        if (id == null || id.trim().length() == 0 || NONE.equals(id.trim()) || document == null) {
            return;
        }
        boolean showNotes = codeBase != null && b.showPrefetch(b.fetch(new URL(codeBase,
                "quorvane.properties"), b.MAX_FILE));
        HashSet<String> fetched = new HashSet<String>();
        String reference = id.trim();
        for (int part = 0; part < MAX_PARTS && !NONE.equals(reference); ++part) {
            URL partUrl = b.resolve(document, reference);
            if (partUrl == null || !waitTurn() || !fetched.add(partUrl.toExternalForm())) {
                return;
            }
            String[] lines = b.decode(b.fetch(partUrl, b.MAX_FILE));
            if (lines == null || lines.length == 0) {
                System.err.println("Quorvane: no prefetch list in " + partUrl);
                return;
            }
            for (int i = 1; i < lines.length; ++i) {
                String line = lines[i];
                if (line.startsWith("#")) {
                    if (showNotes) {
                        owner.note("Prefetched " + line.substring(1));
                    }
                    continue;
                }
                URL entry = b.resolve(document, line);
                if (entry == null || !fetched.add(entry.toExternalForm())) {
                    continue;
                }
                if (!waitTurn()) {
                    return;
                }
                b.fetch(entry, -1);
            }
            reference = lines[0];
        }
    }

    // Waits while the page is hidden. False once the applet is destroyed.
    private synchronized boolean waitTurn() throws InterruptedException {
        while (paused && !ended) {
            wait();
        }
        return !ended;
    }
}
