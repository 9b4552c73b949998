#include "window/qt/main_window.h"

#include "window/qt/dialogs.h"
#include "window/qt/folder_box.h"
#include "window/qt/images.h"
#include "window/qt/listing_model.h"
#include "window/qt/up_down.h"
#include "window/texts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

namespace window {

namespace {

QString fromText(const char *text)
{
    return QString::fromUtf8(text);
}

// Paths and names are bytes; what is not UTF-8 is replaced for display only.
QString displayed(const std::string &bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The events by which the user acts on the window, closing it included; while a run goes on,
// none of them reaches it.
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

MainWindow::MainWindow(Dialogs &dialogs, const platform::LocaleFormats &formats, QWidget *parent)
    : QWidget(parent)
    , Panel1(new QWidget(this))
    , Label1(new QLabel(fromText(texts::kDirectoryLabel), Panel1))
    , dir(new FolderBox(Panel1))
    , SpeedButton1(new QToolButton(Panel1))
    , subdir(new QCheckBox(fromText(texts::kSubdirectories), Panel1))
    , loeschen(new QPushButton(images::deleteCross(), fromText(texts::kDelete), Panel1))
    , deltage(new QRadioButton(fromText(texts::kByAge), Panel1))
    , Edit1(new QLineEdit(Panel1))
    , Tage(new UpDown(Edit1, Panel1))
    , Datum(new QLabel(Panel1))
    , delDateien(new QRadioButton(fromText(texts::kByCount), Panel1))
    , Edit2(new QLineEdit(Panel1))
    , Dateien(new UpDown(Edit2, Panel1))
    , SpeedButton2(new QToolButton(Panel1))
    , liste(new QTableView(this))
    , status(new QStatusBar(this))
    , m_form(*this, formats)
    , m_dialogs(dialogs)
    , m_model(new ListingModel(m_form.state().Table, this))
{
    layOut();
    m_form.showControls();
    connectEvents();
}

MainWindow::~MainWindow() = default;

QString MainWindow::statusText(Panel panel) const
{
    return m_panels.at(static_cast<std::size_t>(panel))->text();
}

void MainWindow::connectEvents()
{
    connect(dir, &QComboBox::activated, this, [this](int entry) { m_form.directoryChosen(entry); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { m_form.refreshClicked(); });
    auto *refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, [this] { m_form.refreshClicked(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { m_form.addFolderClicked(); });
    connect(loeschen, &QPushButton::clicked, this, [this] { m_form.deleteClicked(); });
    connect(subdir, &QCheckBox::toggled, this,
        [this](bool ticked) { m_form.subdirectoriesTicked(ticked); });
    // A radio button tells when the user checks it; clicking the checked one tells nothing.
    const auto mode = [this](QRadioButton *radio, core::SelectionMode checked) {
        connect(radio, &QRadioButton::toggled, this, [this, checked](bool on) {
            if (on)
                m_form.modeClicked(checked);
        });
    };
    mode(deltage, core::SelectionMode::Age);
    mode(delDateien, core::SelectionMode::Count);
    const auto field = [this](QLineEdit *edit, UpDown *arrows, Count count) {
        connect(arrows, &UpDown::stepped, this,
            [this, count](Step step) { m_form.stepped(count, step); });
        connect(edit, &QLineEdit::textEdited, this,
            [this, count](const QString &text) { m_form.typed(count, text.toStdString()); });
        connect(
            edit, &QLineEdit::returnPressed, this, [this, count] { m_form.enterPressed(count); });
    };
    field(Edit1, Tage, Count::Days);
    field(Edit2, Dateien, Count::Files);
}

void MainWindow::showDirectories(const std::vector<std::string> &entries, int selected)
{
    const QSignalBlocker quiet(dir);
    dir->clear();
    for (const std::string &path : entries)
        dir->addItem(displayed(path));
    dir->setCurrentIndex(selected);
    dir->setToolTip(dir->currentText());
}

void MainWindow::showMode(core::SelectionMode mode)
{
    QRadioButton *checked = mode == core::SelectionMode::Age ? deltage : delDateien;
    for (QRadioButton *radio : { deltage, delDateien }) {
        const QSignalBlocker quiet(radio);
        radio->setChecked(radio == checked);
        radio->setFocusPolicy(radio == checked ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void MainWindow::showCount(Count count, const std::string &text)
{
    (count == Count::Days ? Edit1 : Edit2)->setText(displayed(text));
}

void MainWindow::showSubdirectories(bool ticked)
{
    const QSignalBlocker quiet(subdir);
    subdir->setChecked(ticked);
}

void MainWindow::showLimitDate(const std::string &text)
{
    Datum->setText(displayed(text));
    Datum->adjustSize();
}

void MainWindow::enableDelete(bool enabled)
{
    loeschen->setEnabled(enabled);
}

void MainWindow::showStatus(Panel panel, const std::string &text)
{
    m_panels.at(static_cast<std::size_t>(panel))->setText(displayed(text));
}

void MainWindow::listingChanging()
{
    m_model->beginChange();
}

void MainWindow::listingChanged()
{
    m_model->endChange();
}

void MainWindow::busy(bool on)
{
    // The filter holds back the user's input to this window, and its closing, while a run goes
    // on; the window still draws itself.
    m_busy = on;
    if (on) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::instance()->installEventFilter(this);
    } else {
        QCoreApplication::instance()->removeEventFilter(this);
        QGuiApplication::restoreOverrideCursor();
    }
}

void MainWindow::showProgress(const std::string &text)
{
    showStatus(Panel::Progress, text);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

std::optional<std::string> MainWindow::chooseFolder(const std::string &instruction)
{
    const std::optional<QString> folder = m_dialogs.chooseFolder(this, displayed(instruction));
    if (!folder)
        return std::nullopt;
    return QFile::encodeName(*folder).toStdString();
}

bool MainWindow::confirm(const std::string &question)
{
    return m_dialogs.confirm(this, displayed(question));
}

void MainWindow::notice(const std::string &text)
{
    m_dialogs.notice(this, displayed(text));
}

void MainWindow::error(const std::string &text)
{
    m_dialogs.error(this, displayed(text));
}

void MainWindow::quit(int exitCode)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored by the user is shown by the system; only the program's own showing
    // places the window and lists.
    if (event->spontaneous())
        return;
    place();
    m_form.shown();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_busy && isUserInput(event->type()) && watched->isWidgetType()) {
        const auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() == this) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace window
