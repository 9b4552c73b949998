#include "core/listing_table.h"
#include "window/qt/folder_box.h"
#include "window/qt/images.h"
#include "window/qt/listing_model.h"
#include "window/qt/main_window.h"
#include "window/qt/up_down.h"
#include "window/texts.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <algorithm>
#include <array>

// Where the window's controls stand, how they look, and the keyboard's way through them; where the
// window opens, and how the grid takes the room when the user resizes it.
namespace window {

namespace {

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

void MainWindow::layOut()
{
    setWindowTitle(QString::fromUtf8(texts::kCaption));
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
    loeschen->setToolTip(QString::fromUtf8(texts::kDeleteTip));
    for (QWidget *days : std::initializer_list<QWidget *> { Edit1, Tage })
        days->setToolTip(QString::fromUtf8(texts::kDaysTip));
    for (QWidget *files : std::initializer_list<QWidget *> { Edit2, Dateien })
        files->setToolTip(QString::fromUtf8(texts::kFilesTip));

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

} // namespace window
