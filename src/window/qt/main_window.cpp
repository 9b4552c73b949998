#include "window/qt/main_window.h"

#include "core/listing_table.h"
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
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>

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

constexpr std::array<int, core::kColumnCount> kColumnWidths = { 239, 84, 65, 64, 341 };
constexpr int kRowHeight = 20;
constexpr int kWidth = 819;
constexpr int kHeight = 450;
constexpr int kPanelHeight = 86;
constexpr int kStatusHeight = 19;
// Down to the band of controls, and a few rows of the grid.
constexpr int kMinimumWidth = 490;
constexpr int kMinimumHeight = kPanelHeight + 4 * kRowHeight + kStatusHeight;

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

void MainWindow::layOut()
{
    setWindowTitle(fromText(texts::kCaption));
    // A tool window: a narrow title bar with only a close box. The user may make it larger or
    // smaller down to the band of controls; the grid takes the room.
    setWindowFlags(
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Qt lets no tool window end the program; this one is the program's only window.
    setAttribute(Qt::WA_QuitOnClose, true);
    resize(kWidth, kHeight);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    QFont font(QStringLiteral("Liberation Sans"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    const auto name = [](QWidget *control, const char *objectName) {
        control->setObjectName(QString::fromLatin1(objectName));
    };
    name(Panel1, "Panel1");
    name(Label1, "Label1");
    name(dir, "dir");
    name(SpeedButton1, "SpeedButton1");
    name(subdir, "subdir");
    name(loeschen, "loeschen");
    name(deltage, "deltage");
    name(Edit1, "Edit1");
    name(Tage, "Tage");
    name(Datum, "Datum");
    name(delDateien, "delDateien");
    name(Edit2, "Edit2");
    name(Dateien, "Dateien");
    name(SpeedButton2, "SpeedButton2");
    name(liste, "liste");
    name(status, "status");

    Panel1->setGeometry(0, 0, kWidth, kPanelHeight);
    Label1->setGeometry(5, 8, 54, 13);
    dir->setGeometry(70, 5, 186, 21);
    SpeedButton1->setGeometry(260, 5, 23, 22);
    subdir->setGeometry(290, 10, 97, 17);
    loeschen->setGeometry(405, 5, 75, 25);
    deltage->setGeometry(5, 33, 86, 17);
    Edit1->setGeometry(100, 30, 26, 21);
    Tage->setGeometry(126, 30, 15, 21);
    Datum->move(150, 35);
    delDateien->setGeometry(5, 58, 95, 17);
    Edit2->setGeometry(100, 55, 26, 21);
    Dateien->setGeometry(126, 55, 15, 21);
    SpeedButton2->setGeometry(155, 55, 23, 22);
    // The widths above fit a small 8-point font; where this system's font draws a text wider,
    // the control grows to the right, into space left free, rather than cut its text.
    for (QWidget *text : std::initializer_list<QWidget *> { Label1, subdir })
        text->resize(std::max(text->width(), text->sizeHint().width()), text->height());

    SpeedButton1->setIcon(images::addFolder());
    SpeedButton1->setIconSize(QSize(18, 18));
    SpeedButton2->setIcon(images::refresh());
    SpeedButton2->setIconSize(QSize(16, 16));
    for (QToolButton *button : { SpeedButton1, SpeedButton2 }) {
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
    }
    loeschen->setIconSize(QSize(18, 18));
    loeschen->setToolTip(fromText(texts::kDeleteTip));
    for (QWidget *days : std::initializer_list<QWidget *> { Edit1, Tage })
        days->setToolTip(fromText(texts::kDaysTip));
    for (QWidget *files : std::initializer_list<QWidget *> { Edit2, Dateien })
        files->setToolTip(fromText(texts::kFilesTip));

    liste->setModel(m_model);
    liste->setShowGrid(false);
    liste->setSelectionBehavior(QAbstractItemView::SelectRows);
    liste->setSelectionMode(QAbstractItemView::ContiguousSelection);
    liste->setEditTriggers(QAbstractItemView::NoEditTriggers);
    liste->setSortingEnabled(false);
    liste->setWordWrap(false);
    // Tab leaves the grid for the next control instead of walking its cells.
    liste->setTabKeyNavigation(false);
    liste->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView *rows = liste->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView *columns = liste->horizontalHeader();
    columns->setFixedHeight(kRowHeight);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    for (int column = 0; column < core::kColumnCount; ++column)
        columns->resizeSection(column, kColumnWidths[static_cast<std::size_t>(column)]);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    status->setSizeGripEnabled(false);
    const std::array<int, 4> panelWidths = { 120, 150, 150, 0 };
    for (std::size_t panel = 0; panel < m_panels.size(); ++panel) {
        m_panels[panel] = new QLabel(status);
        m_panels[panel]->setObjectName(QStringLiteral("panel%1").arg(panel));
        m_panels[panel]->setAlignment(
            (panel == 1 || panel == 2 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        if (panelWidths[panel] > 0) {
            m_panels[panel]->setFixedWidth(panelWidths[panel]);
            status->addWidget(m_panels[panel]);
        } else {
            status->addWidget(m_panels[panel], 1);
        }
    }
    status->setFocusPolicy(Qt::NoFocus);

    // The keyboard's order of the controls, the image buttons after the field they act on. Of
    // the two radio buttons only the checked one is a tab stop.
    setTabOrder(Edit1, dir);
    setTabOrder(dir, SpeedButton1);
    setTabOrder(SpeedButton1, loeschen);
    setTabOrder(loeschen, Edit2);
    setTabOrder(Edit2, SpeedButton2);
    setTabOrder(SpeedButton2, deltage);
    setTabOrder(deltage, delDateien);
    setTabOrder(delDateien, subdir);
    setTabOrder(subdir, liste);
    for (QWidget *label : std::initializer_list<QWidget *> { Label1, Datum, Panel1 })
        label->setFocusPolicy(Qt::NoFocus);
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

void MainWindow::place()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    // A screen smaller than the window at its scale gets a window that fits it, frame and all.
    const QRect room = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(std::min(width(), room.width() - frame.width()),
        std::min(height(), room.height() - frame.height()));
    const QSize outer = frameGeometry().size();
    QPoint corner = room.center() - QPoint(outer.width() / 2, outer.height() / 2);
    corner.setX(std::max(corner.x(), room.left()));
    corner.setY(std::max(corner.y(), room.top()));
    move(corner);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Panel1->resize(width(), kPanelHeight);
    liste->setGeometry(0, kPanelHeight, width(), height() - kPanelHeight - kStatusHeight);
    status->setGeometry(0, height() - kStatusHeight, width(), kStatusHeight);
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
