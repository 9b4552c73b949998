#include "window/qt/up_down.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWidget>

using window::UpDown;

// The spin control on its own: the order of its two events, its bounds, and how typed text
// counts.
class TestUpDown : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_parent = std::make_unique<QWidget>();
        m_edit = new QLineEdit(m_parent.get());
        m_spin = new UpDown(m_edit, 1, 1000, 30, m_parent.get());
        m_spin->setGeometry(26, 0, 15, 21);
        m_parent->show();
        m_events.clear();
        // Each event notes the value that stands while it runs.
        connect(m_spin, &UpDown::changing, this,
            [this] { m_events << QStringLiteral("changing %1").arg(m_spin->position()); });
        connect(m_spin, &UpDown::clicked, this,
            [this] { m_events << QStringLiteral("clicked %1").arg(m_spin->position()); });
    }

    void cleanup() { m_parent.reset(); }

    void stepsAnnounceTheOldValueAndReportOnlyAChange()
    {
        QTest::mouseClick(m_spin->upArrow(), Qt::LeftButton);
        QCOMPARE(m_events, QStringList({ "changing 30", "clicked 31" }));
        QCOMPARE(m_edit->text(), QStringLiteral("31"));

        QTest::mouseClick(m_spin->downArrow(), Qt::LeftButton);
        QTest::mouseClick(m_spin->downArrow(), Qt::LeftButton);
        QCOMPARE(m_spin->position(), 29);

        m_events.clear();
        m_spin->setPosition(1000);
        QCOMPARE(m_events, QStringList({ "changing 29" }));
        m_events.clear();
        QTest::mouseClick(m_spin->upArrow(), Qt::LeftButton);
        QCOMPARE(m_events, QStringList({ "changing 1000" }));
        QCOMPARE(m_edit->text(), QStringLiteral("1000"));

        m_spin->setPosition(1);
        m_events.clear();
        QTest::mouseClick(m_spin->downArrow(), Qt::LeftButton);
        QCOMPARE(m_events, QStringList({ "changing 1" }));
    }

    void keysInTheEditStepAndHeldArrowsRepeat()
    {
        m_edit->setFocus();
        QTest::keyClick(m_edit, Qt::Key_Up);
        QTest::keyClick(m_edit, Qt::Key_Up);
        QTest::keyClick(m_edit, Qt::Key_Down);
        QCOMPARE(m_events.count(), 6);
        QCOMPARE(m_edit->text(), QStringLiteral("31"));

        m_events.clear();
        QTest::mousePress(m_spin->upArrow(), Qt::LeftButton);
        QTest::qWait(
            m_spin->upArrow()->autoRepeatDelay() + 4 * m_spin->upArrow()->autoRepeatInterval());
        QTest::mouseRelease(m_spin->upArrow(), Qt::LeftButton);
        // Every repeated step is a full step with both events.
        const int steps = m_spin->position() - 31;
        QVERIFY2(steps >= 3, qPrintable(QString::number(steps)));
        QCOMPARE(m_events.count(), 2 * steps);
    }

    void typedTextCountsWhenReadAndOnlyWhenValid_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("value");
        QTest::newRow("number") << "45" << 45;
        QTest::newRow("blanks around") << " 45 " << 45;
        QTest::newRow("letters") << "abc" << 30;
        QTest::newRow("above the range") << "5000" << 30;
        QTest::newRow("zero") << "0" << 30;
        QTest::newRow("sign") << "-5" << 30;
        QTest::newRow("fraction") << "4.5" << 30;
        QTest::newRow("empty") << "" << 30;
    }

    void typedTextCountsWhenReadAndOnlyWhenValid()
    {
        QFETCH(QString, typed);
        QFETCH(int, value);
        m_edit->selectAll();
        QTest::keyClick(m_edit, Qt::Key_Backspace);
        QTest::keyClicks(m_edit, typed);
        QVERIFY(m_events.isEmpty());
        QCOMPARE(m_spin->position(), value);
        QCOMPARE(m_edit->text(), typed);
        // The next step starts from the value read, and shows its result.
        QTest::mouseClick(m_spin->upArrow(), Qt::LeftButton);
        QCOMPARE(m_events.first(), QStringLiteral("changing %1").arg(value));
        QCOMPARE(m_edit->text(), QString::number(value + 1));
    }

    void valuesFromTheProgramAreClampedAndAnnouncedOnlyWhenTheyDiffer()
    {
        m_spin->setPosition(30);
        QVERIFY(m_events.isEmpty());
        m_spin->setPosition(5000);
        QCOMPARE(m_edit->text(), QStringLiteral("1000"));
        m_spin->setPosition(-3);
        QCOMPARE(m_edit->text(), QStringLiteral("1"));
        QCOMPARE(m_events, QStringList({ "changing 30", "changing 1000" }));
    }

private:
    std::unique_ptr<QWidget> m_parent;
    QLineEdit *m_edit = nullptr;
    UpDown *m_spin = nullptr;
    QStringList m_events;
};

QTEST_MAIN(TestUpDown)
#include "tst_up_down.moc"
