#pragma once

#include <QComboBox>

namespace window {

// The drop-down of folders. A path too long for the box is shown elided in the middle, so that
// both its start and its last folders stay visible, and the whole path is the box's tooltip.
class FolderBox final : public QComboBox
{
public:
    explicit FolderBox(QWidget *parent);

    // The text the closed box shows for its chosen entry.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect() const;
};

} // namespace window
