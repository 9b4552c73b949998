#include "window/qt/application.h"
#include "window/qt/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The application as the program readies it: German standard dialogs and its own icon.
class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { window::setUpApplication(*qApp); }

    // The folder chooser is Qt's own dialog; without Qt's German texts its buttons would read
    // "Choose" and "Cancel" in an otherwise German program.
    void folderChooserSpeaksGerman()
    {
        QStringList buttons;
        QStringList labels;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            for (const QPushButton *button : dialog->findChildren<QPushButton *>())
                if (button->isVisible())
                    buttons << button->text();
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                if (label->isVisible() && !label->text().isEmpty())
                    labels << label->text();
            dialog->reject();
        });
        poll.start(20);

        window::QtDialogs dialogs;
        const std::optional<QString> chosen
            = dialogs.chooseFolder(nullptr, QStringLiteral("Verzeichnis wählen"));

        QVERIFY(!chosen);
        buttons.sort();
        QCOMPARE(buttons, QStringList({ "&Auswählen", "Abbrechen" }));
        QVERIFY2(labels.contains("Suchen in:"), qPrintable(labels.join(" | ")));
        QVERIFY2(labels.contains("Verzeichnis:"), qPrintable(labels.join(" | ")));
    }

    // A resource that went missing would leave an empty, transparent icon on every window.
    void windowsShowTheProgramsIcon()
    {
        const QImage image = QApplication::windowIcon().pixmap(32, 32).toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
        QVERIFY2(opaque > 32 * 32 / 4, qPrintable(QString::number(opaque)));
    }
};

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
