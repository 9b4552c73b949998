#include "window/qt/folder_box.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace window {

FolderBox::FolderBox(QWidget *parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, [this] { setToolTip(currentText()); });
}

QRect FolderBox::textRect() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
}

QString FolderBox::shownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, textRect().width());
}

void FolderBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = shownText();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace window
