#include "window/qt/dialogs.h"

#include "window/texts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace window {

namespace {

QWidget *visibleOrNone(QWidget *parent)
{
    return parent && parent->isVisible() ? parent : nullptr;
}

// A box with one "OK", which both Enter and Escape press.
void showWithOk(QWidget *parent, QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, QString::fromUtf8(texts::kApplicationTitle), text, QMessageBox::NoButton,
        visibleOrNone(parent));
    QPushButton *ok = box.addButton(QString::fromUtf8(texts::kOk), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

} // namespace

std::optional<QString> QtDialogs::chooseFolder(QWidget *parent, const QString &instruction)
{
    const QString folder = QFileDialog::getExistingDirectory(
        visibleOrNone(parent), instruction, QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

bool QtDialogs::confirm(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(texts::kConfirmCaption), question,
        QMessageBox::NoButton, visibleOrNone(parent));
    QPushButton *yes = box.addButton(QString::fromUtf8(texts::kYes), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QString::fromUtf8(texts::kNo), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    // Closing the box by its close box counts as no.
    return box.clickedButton() == yes;
}

void QtDialogs::notice(QWidget *parent, const QString &text)
{
    showWithOk(parent, QMessageBox::NoIcon, text);
}

void QtDialogs::error(QWidget *parent, const QString &message)
{
    showWithOk(parent, QMessageBox::Critical, message);
}

} // namespace window
