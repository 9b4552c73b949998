// Opens the main window on the offscreen platform over a large listing and measures what a user
// would feel: how long until the grid is first drawn with the listing, and the longest pause of
// the event loop while the grid is scrolled through, page by page and in long jumps. Prints the
// figures; the verdict is the script's.
//
// window_scroll FOLDER SETTINGS [SWITCH...]: lists FOLDER with the switches given.
#include "startup/command_line.h"
#include "window/qt/dialogs.h"
#include "window/qt/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// No dialog may wait for an answer in a measurement; each just notes that it was asked.
class SilentDialogs final : public window::Dialogs
{
public:
    std::optional<QString> chooseFolder(QWidget *, const QString &) override { return {}; }
    bool confirm(QWidget *, const QString &) override { return false; }
    void notice(QWidget *, const QString &) override { }
    void error(QWidget *, const QString &message) override
    {
        std::fprintf(stderr, "error box: %s\n", message.toUtf8().constData());
    }
};

// Notes the moments at which the grid is drawn.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(const QElapsedTimer &clock)
        : m_clock(clock)
    {
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            paints.push_back(m_clock.nsecsElapsed());
        return false;
    }
    std::vector<qint64> paints;

private:
    const QElapsedTimer &m_clock;
};

double milliseconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_scroll FOLDER SETTINGS [SWITCH...]\n");
        return 2;
    }
    QApplication application(argc, argv);
    std::vector<std::string> arguments { std::string("/VERZEICHNIS:") + argv[1] };
    for (int argument = 3; argument < argc; ++argument)
        arguments.emplace_back(argv[argument]);

    SilentDialogs dialogs;
    window::MainWindow window(dialogs, platform::germanFormats());
    if (!window.form().FormCreate(startup::parseCommandLine(arguments), argv[2]))
        return 1;

    QElapsedTimer clock;
    PaintWatch watch(clock);
    window.liste->viewport()->installEventFilter(&watch);
    clock.start();
    // The first showing lists; the window draws itself meanwhile.
    window.show();
    const qint64 listed = clock.nsecsElapsed();
    const std::size_t paintsWhileListing = watch.paints.size();
    while (watch.paints.size() == paintsWhileListing)
        QCoreApplication::processEvents();
    const qint64 firstPaint = clock.nsecsElapsed();

    // Scrolls as a user does: a page at a time for a while, then long jumps across the whole
    // grid, each step as soon as the event loop is free; the longest gap between two steps is the
    // longest pause the user would see.
    QScrollBar *bar = window.liste->verticalScrollBar();
    const int pageSteps = 300;
    const int jumps = 60;
    int step = 0;
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (step < pageSteps) {
            bar->setValue(bar->value() + bar->pageStep());
        } else if (step < pageSteps + jumps) {
            // Spread over the whole range, back and forth.
            const int jump = step - pageSteps;
            const long long span = bar->maximum();
            bar->setValue(
                static_cast<int>(jump % 2 == 0 ? span * jump / jumps : span - span * jump / jumps));
        } else {
            application.quit();
        }
        ++step;
    });
    ticker.start();
    application.exec();

    std::printf("rows: %d\n", window.liste->model()->rowCount());
    std::printf("listing (window shown to listing done): %.0f ms, grid drawn %zu times meanwhile\n",
        milliseconds(listed), paintsWhileListing);
    std::printf("first paint of the listing after it was done: %.1f ms\n",
        milliseconds(firstPaint - listed));
    std::printf("longest event-loop stall while scrolling: %.1f ms\n", milliseconds(longest));
    return 0;
}
