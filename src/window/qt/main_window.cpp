#include "window/tfmain.h"

#include "core/deletion_run.h"
#include "core/errors.h"
#include "core/listing_texts.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/selection.h"
#include "platform/path_separator.h"
#include "platform/system_error.h"
#include "startup/command_line.h"
#include "startup/unattended.h"
#include "window/qt/dialogs.h"
#include "window/qt/images.h"
#include "window/qt/listing_model.h"
#include "window/texts.h"
#include "window/qt/up_down.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>
#include <new>

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
constexpr int kSpinMinimum = 1;
constexpr int kSpinMaximum = 1000;

} // namespace

// A listing or a deletion run under way: the wait cursor shows, the window's input is held back
// and its handlers refuse to run, and the status bar tells the progress. The window still draws
// itself, between the steps of the run.
class TFmain::Busy
{
public:
    explicit Busy(TFmain &window)
        : m_window(window)
        , m_wasBusy(window.m_busy)
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_window.m_busy = true;
        if (!m_wasBusy)
            QCoreApplication::instance()->installEventFilter(&m_window);
    }
    ~Busy()
    {
        if (!m_wasBusy) {
            QCoreApplication::instance()->removeEventFilter(&m_window);
            m_window.m_panels[3]->clear();
        }
        m_window.m_busy = m_wasBusy;
        QGuiApplication::restoreOverrideCursor();
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    TFmain &m_window;
    bool m_wasBusy;
};

template <typename Handler> bool TFmain::guarded(Handler &&handler)
{
    // An event that arrives while a run draws the window must not start another run inside it.
    if (m_busy)
        return false;
    try {
        handler();
        return true;
    } catch (const core::RunInterrupted &) {
        // The program was asked to end while it deleted: it ends once the run has stopped, with
        // the attempts made logged, and tells by its exit code that the run did not complete.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    } catch (const core::AppError &error) {
        showError(error.what(), error.path(), error.notes());
    } catch (const std::bad_alloc &) {
        showError(core::messages::fileError(platform::outOfMemoryError()));
    }
    return false;
}

TFmain::TFmain(Dialogs &dialogs, const platform::LocaleFormats &formats, QWidget *parent)
    : QWidget(parent)
    , Panel1(new QWidget(this))
    , Label1(new QLabel(fromText(texts::kDirectoryLabel), Panel1))
    , dir(new QComboBox(Panel1))
    , SpeedButton1(new QToolButton(Panel1))
    , subdir(new QCheckBox(fromText(texts::kSubdirectories), Panel1))
    , loeschen(new QPushButton(images::deleteCross(), fromText(texts::kDelete), Panel1))
    , deltage(new QRadioButton(fromText(texts::kByAge), Panel1))
    , Edit1(new QLineEdit(Panel1))
    , Tage(new UpDown(Edit1, kSpinMinimum, kSpinMaximum, 30, Panel1))
    , Datum(new QLabel(Panel1))
    , delDateien(new QRadioButton(fromText(texts::kByCount), Panel1))
    , Edit2(new QLineEdit(Panel1))
    , Dateien(new UpDown(Edit2, kSpinMinimum, kSpinMaximum, 10, Panel1))
    , SpeedButton2(new QToolButton(Panel1))
    , liste(new QTableView(this))
    , status(new QStatusBar(this))
    , m_dialogs(dialogs)
    , m_state(formats)
    , m_model(new ListingModel(m_state.Table, this))
{
    // The drop-down's one entry before start-up, which replaces it unless it fails early.
    m_state.Directories = { texts::kDefaultDirectory };
    m_state.SelectedDirectory = texts::kDefaultDirectory;
    addDirectoryEntry(texts::kDefaultDirectory);
    dir->setCurrentIndex(0);

    layOut();
    connectEvents();
    showResults();
    m_state.Progress = [this](std::size_t done, std::size_t total) { showProgress(done, total); };
}

TFmain::~TFmain() = default;

void TFmain::layOut()
{
    setWindowTitle(fromText(texts::kCaption));
    // A tool window: a narrow title bar with only a close box, and a size the user cannot change.
    setWindowFlags(
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Qt lets no tool window end the program; this one is the program's only window.
    setAttribute(Qt::WA_QuitOnClose, true);
    setFixedSize(819, 450);
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

    Panel1->setGeometry(0, 0, 819, 86);
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
    liste->setGeometry(0, 86, 819, 345);
    status->setGeometry(0, 431, 819, 19);
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
        button->setFocusPolicy(Qt::NoFocus);
    }
    loeschen->setIconSize(QSize(18, 18));
    loeschen->setEnabled(false);
    loeschen->setToolTip(fromText(texts::kDeleteTip));
    for (QWidget *days : std::initializer_list<QWidget *> { Edit1, Tage })
        days->setToolTip(fromText(texts::kDaysTip));
    for (QWidget *files : std::initializer_list<QWidget *> { Edit2, Dateien })
        files->setToolTip(fromText(texts::kFilesTip));
    deltage->setChecked(true);

    liste->setModel(m_model);
    liste->setShowGrid(false);
    liste->setSelectionBehavior(QAbstractItemView::SelectRows);
    liste->setSelectionMode(QAbstractItemView::ContiguousSelection);
    liste->setEditTriggers(QAbstractItemView::NoEditTriggers);
    liste->setSortingEnabled(false);
    liste->setWordWrap(false);
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
    m_panels[0]->setText(fromText(texts::kStatusNotice));
    status->setFocusPolicy(Qt::NoFocus);

    // The keyboard's order of the controls. Of the two radio buttons only the checked one is a
    // tab stop.
    setTabOrder(Edit1, dir);
    setTabOrder(dir, loeschen);
    setTabOrder(loeschen, Edit2);
    setTabOrder(Edit2, deltage);
    setTabOrder(deltage, delDateien);
    setTabOrder(delDateien, subdir);
    setTabOrder(subdir, liste);
    for (QWidget *label : std::initializer_list<QWidget *> { Label1, Datum, Panel1 })
        label->setFocusPolicy(Qt::NoFocus);
}

void TFmain::connectEvents()
{
    connect(dir, &QComboBox::activated, this, [this] { guarded([this] { dirChange(); }); });
    connect(
        SpeedButton2, &QToolButton::clicked, this, [this] { guarded([this] { dirChange(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this,
        [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(
        loeschen, &QPushButton::clicked, this, [this] { guarded([this] { loeschenClick(); }); });
    // A radio button's click event fires only when it becomes checked, by the user or by the
    // program; clicking the checked one does nothing.
    for (QRadioButton *radio : { deltage, delDateien }) {
        radio->setFocusPolicy(radio->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        connect(radio, &QRadioButton::toggled, this, [this, radio](bool checked) {
            radio->setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
            if (checked)
                guarded([this] { dirChange(); });
        });
    }
    for (UpDown *spin : { Tage, Dateien })
        connect(spin, &UpDown::changing, this, [this] { guarded([this] { DateienChanging(); }); });
    connect(Tage, &UpDown::clicked, this, [this] { guarded([this] { TageClick(); }); });
    connect(Dateien, &UpDown::clicked, this, [this] { guarded([this] { DateienClick(); }); });
}

std::optional<startup::StartupResult> TFmain::FormCreate(
    const startup::CommandLine &commandLine, const std::string &settingsPath)
{
    std::optional<startup::StartupResult> result;
    // Until the window is first shown, filling the controls lists nothing.
    m_loading = true;
    // Start-up writes the header row of the table.
    const bool completed = guarded([&] {
        ListingModel::Change change(*m_model);
        // Arguments that match no switch are ignored while the user watches the window, but stop
        // an unattended run before it lists anything.
        result = startup::FormCreate(m_state, commandLine, settingsPath,
            commandLine.requests.unattended ? startup::UnknownArguments::Refuse
                                            : startup::UnknownArguments::Ignore);
    });
    showStartupState();
    if (!completed)
        return std::nullopt;
    if (result->countWithSubdirectoriesNotice)
        m_dialogs.notice(this, displayed(std::string(core::messages::kCountWithSubdirectories)));
    return result;
}

bool TFmain::runUnattended()
{
    std::size_t stayed = 0;
    const bool completed = guarded([&] {
        Busy busy(*this);
        ListingModel::Change change(*m_model);
        stayed = startup::runUnattended(m_state, false).stayed.size();
    });
    showResults();
    if (stayed > 0)
        showError(core::messages::filesStayed(stayed));
    return completed && stayed == 0;
}

QString TFmain::statusText(int panel) const
{
    return m_panels.at(static_cast<std::size_t>(panel))->text();
}

void TFmain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored by the user is shown by the system; only the program's own showing
    // places the window and lists.
    if (event->spontaneous())
        return;
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    guarded([this] { FormShow(); });
}

bool TFmain::eventFilter(QObject *watched, QEvent *event)
{
    // The filter is installed only while a run goes on: the user's input to this window, and its
    // closing, wait until the run has ended.
    if (m_busy && isUserInput(event->type()) && watched->isWidgetType()) {
        const auto *widget = static_cast<QWidget *>(watched);
        if (widget->window() == this) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFmain::FormShow()
{
    m_loading = false;
    dirChange();
}

void TFmain::dirChange()
{
    Busy busy(*this);
    // While start-up fills the controls, the events they fire list nothing, and the counts it set
    // must stay as they are: the unattended run uses them unclamped, and the first refresh after
    // loading takes the controls anyway.
    {
        ListingModel::Change change(*m_model);
        if (m_loading) {
            core::clearListing(m_state);
        } else {
            takeControls();
            core::Refresh(m_state);
        }
    }
    showResults();
}

void TFmain::SpeedButton1Click()
{
    const std::optional<QString> folder
        = m_dialogs.chooseFolder(this, fromText(texts::kChooseFolder));
    // A chooser that reports success with an empty path adds nothing.
    if (folder && !folder->isEmpty()) {
        std::string path = QFile::encodeName(*folder).toStdString();
        if (path.back() != platform::kPathSeparator)
            path += platform::kPathSeparator;
        m_state.Directories.push_back(path);
        addDirectoryEntry(path);
        dir->setCurrentIndex(dir->count() - 1);
    }
    dirChange();
}

void TFmain::loeschenClick()
{
    const auto count = static_cast<int>(m_state.Table.fileCount());
    if (!m_dialogs.confirm(this, texts::confirmDeletion(count)))
        return;
    std::size_t stayed = 0;
    {
        Busy busy(*this);
        stayed = core::DeleteListed(m_state).stayed.size();
    }
    // Files that stayed are told before the listing shows them again.
    if (stayed > 0)
        showError(core::messages::filesStayed(stayed));
    dirChange();
}

void TFmain::DateienChanging()
{
    dirChange();
}

void TFmain::TageClick()
{
    deltage->setChecked(true);
}

void TFmain::DateienClick()
{
    delDateien->setChecked(true);
}

void TFmain::takeControls()
{
    const int selected = dir->currentIndex();
    m_state.SelectedDirectory
        = selected < 0 ? std::string() : dir->itemData(selected).toByteArray().toStdString();
    m_state.Mode = deltage->isChecked() ? core::SelectionMode::Age : core::SelectionMode::Count;
    m_state.DayCount = static_cast<std::int16_t>(Tage->position());
    m_state.KeepCount = static_cast<std::int16_t>(Dateien->position());
    m_state.IncludeSubdirectories = subdir->isChecked();
}

void TFmain::showResults()
{
    Datum->setText(displayed(m_state.LimitDateText));
    Datum->adjustSize();
    loeschen->setEnabled(m_state.DeleteEnabled);
    m_panels[1]->setText(displayed(core::statusFiles(m_state)));
    m_panels[2]->setText(displayed(core::statusTotal(m_state)));
}

void TFmain::showStartupState()
{
    dir->clear();
    for (const std::string &path : m_state.Directories)
        addDirectoryEntry(path);
    // Selecting from the program's code fires nothing: only a choice by the user refreshes.
    dir->setCurrentIndex(m_state.SelectedDirectory.empty()
            ? -1
            : dir->findData(QByteArray::fromStdString(m_state.SelectedDirectory)));
    (m_state.Mode == core::SelectionMode::Age ? deltage : delDateien)->setChecked(true);
    Tage->setPosition(m_state.DayCount);
    Dateien->setPosition(m_state.KeepCount);
    subdir->setChecked(m_state.IncludeSubdirectories);
}

void TFmain::showProgress(std::size_t done, std::size_t total)
{
    const std::string &separator = m_state.Formats.thousandsSeparator;
    const QString doneText = displayed(core::formatGrouped(done, separator));
    m_panels[3]->setText(total == 0
            ? texts::filesFound(doneText)
            : texts::filesDeleted(doneText, displayed(core::formatGrouped(total, separator))));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TFmain::addDirectoryEntry(const std::string &path)
{
    dir->addItem(displayed(path), QByteArray::fromStdString(path));
}

void TFmain::showError(
    const std::string &message, const std::string &path, const std::vector<std::string> &notes)
{
    std::string text = core::withFinalStop(message);
    if (!path.empty())
        text += "\n" + path;
    for (const std::string &note : notes)
        text += "\n" + note;
    m_dialogs.error(this, displayed(text));
}

} // namespace window
