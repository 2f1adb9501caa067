#include "WindowFixture.h"

#include "app/AboutUnit.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <deque>

namespace {

TAbout& asAbout(QDialog& d)
{
    auto* a = qobject_cast<TAbout*>(&d);
    if (!a)
        throw std::runtime_error("not the about box");
    return *a;
}

void pressShift(TAbout& a, int times)
{
    for (int i = 0; i < times; ++i)
        QTest::keyPress(a.Button2, Qt::Key_Shift);
}

// Random numbers given one by one; the game takes three per tick.
std::function<double()> numbers(std::deque<double> values)
{
    return [values]() mutable {
        const double v = values.front();
        values.pop_front();
        return v;
    };
}

// The support address these tests configure.
const QByteArray SupportIni = "[Services]\nSupport Mail=support@tarquell.example\n";
const QString SupportSubject = QStringLiteral("mailto:support@tarquell.example"
                                              "?Subject=Tarquell%20Translator%20V4.00%20support");

} // namespace

TEST_F(WindowTest, AboutBoxShowsItsControlsAndTicksFromCreation)
{
    writeIni(SupportIni);
    open();
    dialogs.dialogAnswers.push_back([](QDialog& d) {
        TAbout& a = asAbout(d);
        EXPECT_EQ(a.windowTitle(), QStringLiteral("About"));
        EXPECT_EQ(a.size(), QSize(288, 286));
        EXPECT_EQ(a.Image1->geometry(), QRect(13, 10, 33, 65));
        EXPECT_FALSE(a.Image1->pixmap().isNull());
        EXPECT_EQ(a.Label1->text(), QStringLiteral("Tarquell Translator"));
        EXPECT_EQ(a.Label1->pos(), QPoint(55, 12));
        EXPECT_EQ(a.Label4->text(),
                  QStringLiteral("for Document, letter, invoice\n     FAX, report, contract, etc"));
        EXPECT_EQ(a.Label2->text(), QStringLiteral("(TM)"));
        EXPECT_EQ(a.Label8->text(), QStringLiteral("Version 4.00  (Build 4195)"));
        EXPECT_EQ(a.Label9->text(), QStringLiteral("Technical Support: support@tarquell.example"));
        EXPECT_TRUE(a.Label10->text().startsWith(QStringLiteral("Acknowlege To:")));
        EXPECT_EQ(a.Button2->geometry(), QRect(64, 219, 65, 25));
        EXPECT_EQ(a.Button1->geometry(), QRect(160, 219, 65, 25));
        EXPECT_EQ(a.d->geometry(), QRect(152, 40, 32, 32));
        EXPECT_FALSE(a.d->isVisible());
        EXPECT_EQ(a.d->brushColor(), QColor(128, 0, 128));
        EXPECT_TRUE(a.Timer1->isActive());
        EXPECT_EQ(a.Timer1->interval(), 100);
        QTest::mouseClick(a.Button1, Qt::LeftButton);
        return a.result();
    });
    ctl<QAction>("About1")->trigger();
    EXPECT_EQ(dialogs.dialogsRun, QStringList{QStringLiteral("About")});
    EXPECT_TRUE(window->findChildren<TAbout*>().isEmpty()); // destroyed on return
}

TEST(AboutBox, TheCircleJumpsWithHalvesRoundedToEvenAndTakesItsColourByThreshold)
{
    ScriptedDialogs dialogs;
    TAbout a(nullptr, dialogs, QStringLiteral("s@x"));
    a.Timer1->stop();
    const struct
    {
        double top, left, colour;
        QPoint at;
        QColor fill;
    } ticks[] = {
        {0.0, 0.0, 0.0, {1, 1}, QColor(255, 0, 0)},
        {0.0625, 0.1875, 0.2499, {39, 13}, QColor(255, 0, 0)}, // 12.5 -> 12, 37.5 -> 38
        {0.5, 0.99999, 0.25, {201, 101}, QColor(255, 255, 0)},
        {0.3125, 0.4375, 0.5, {89, 63}, QColor(255, 255, 0)}, // 62.5 -> 62, 87.5 -> 88
        {0.1, 0.1, 0.5000001, {21, 21}, QColor(0, 128, 0)},
        {0.1, 0.1, 0.75, {21, 21}, QColor(0, 128, 0)},
        {0.1, 0.1, 0.7500001, {21, 21}, QColor(0, 128, 128)},
    };
    for (const auto& t : ticks) {
        a.setRandom(numbers({t.top, t.left, t.colour}));
        a.Timer1Timer();
        EXPECT_EQ(a.d->pos(), t.at) << t.top << " " << t.left;
        EXPECT_EQ(a.d->brushColor(), t.fill) << t.colour;
    }
}

TEST(AboutBox, KnownSeedsGiveTheSameJumpsInsideTheBox)
{
    ScriptedDialogs dialogs;
    for (quint32 seed : {1u, 42u, 4195u}) {
        QList<QPoint> runs[2];
        for (auto& run : runs) {
            TAbout a(nullptr, dialogs, QStringLiteral("s@x"));
            a.Timer1->stop();
            a.setRandom([g = QRandomGenerator(seed)]() mutable { return g.generateDouble(); });
            for (int i = 0; i < 50; ++i) {
                a.Timer1Timer();
                run << a.d->pos();
                EXPECT_GE(a.d->x(), 1);
                EXPECT_LE(a.d->x(), 201);
                EXPECT_GE(a.d->y(), 1);
                EXPECT_LE(a.d->y(), 201);
            }
        }
        EXPECT_EQ(runs[0], runs[1]) << seed;
    }
}

TEST_F(WindowTest, FourShiftPressesOnSupportStartTheGameAndSilenceTheMailButton)
{
    writeIni(SupportIni);
    open();
    dialogs.dialogAnswers.push_back([&](QDialog& d) {
        TAbout& a = asAbout(d);
        QTest::mouseClick(a.Button2, Qt::LeftButton); // count 0: mail
        EXPECT_EQ(launcher.opened, QStringList{SupportSubject});
        a.Timer1->stop();
        pressShift(a, 3);
        EXPECT_FALSE(a.d->isVisible());
        EXPECT_FALSE(a.Timer1->isActive());
        QTest::mouseClick(a.Button2, Qt::LeftButton); // after a Shift press: no mail
        QTest::keyPress(a.Button2, Qt::Key_A);        // other keys do not count
        EXPECT_EQ(a.shiftCount(), 3);
        pressShift(a, 1);
        EXPECT_TRUE(a.d->isVisible());
        EXPECT_TRUE(a.Timer1->isActive());
        pressShift(a, 1);
        EXPECT_EQ(a.shiftCount(), 5);
        QTest::mouseClick(a.Button2, Qt::LeftButton);
        EXPECT_EQ(launcher.opened.size(), 1);
        return int(QDialog::Rejected);
    });
    ctl<QAction>("About1")->trigger();
    EXPECT_TRUE(dialogs.dialogAnswers.empty());
}

TEST_F(WindowTest, CatchingTheCircleRedOnlyHidesItTealSwitchesToFrenchAndCloses)
{
    writeIni(SupportIni);
    TfrmMain& w = open();
    dialogs.dialogAnswers.push_back([&](QDialog& d) {
        TAbout& a = asAbout(d);
        pressShift(a, 4);
        a.setRandom(numbers({0.5, 0.5, 0.1})); // red
        a.Timer1Timer();
        QTest::mousePress(a.d, Qt::RightButton); // any button
        EXPECT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.shown.value(0).text, QStringLiteral("You catch it!"));
        EXPECT_FALSE(a.d->isVisible());
        EXPECT_FALSE(a.Timer1->isActive());
        EXPECT_EQ(a.shiftCount(), 0);
        EXPECT_TRUE(a.isVisible()); // still open
        EXPECT_FALSE(ctl<QAction>("Chinese1")->isVisible());

        QTest::mouseClick(a.Button2, Qt::LeftButton); // count back at 0: mail again
        EXPECT_EQ(launcher.opened.size(), 1);
        pressShift(a, 4);
        EXPECT_TRUE(a.d->isVisible());
        a.setRandom(numbers({0.2, 0.3, 0.9})); // teal
        a.Timer1Timer();
        QTest::mousePress(a.d, Qt::LeftButton);
        EXPECT_EQ(dialogs.shown.size(), 2);
        return a.result();
    });
    ctl<QAction>("About1")->trigger();
    EXPECT_TRUE(ctl<QAction>("Chinese1")->isVisible());
    EXPECT_TRUE(ctl<QAction>("French1")->isChecked());
    EXPECT_EQ(w.Settings.InterfaceLanguage, QStringLiteral("French"));
    EXPECT_EQ(ctl<QMenu>("N1")->title(), QStringLiteral("&Fichier"));
    EXPECT_TRUE(window->findChildren<TAbout*>().isEmpty());
}

TEST_F(WindowTest, SupportLabelInvitesAMailAndSendsIt)
{
    writeIni(SupportIni);
    TfrmMain& w = open();
    launcher.succeeds = false;
    dialogs.dialogAnswers.push_back([&](QDialog& d) {
        TAbout& a = asAbout(d);
        const QString caption = a.Label9->text();
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(a.Label9, &enter);
        EXPECT_EQ(a.Label9->text(),
                  QStringLiteral("<<<Click me to send an E-mail to the author>>>"));
        QTest::mouseClick(a.Label9, Qt::LeftButton);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(a.Label9, &leave);
        EXPECT_EQ(a.Label9->text(), caption);
        return int(QDialog::Rejected);
    });
    ctl<QAction>("About1")->trigger();
    EXPECT_EQ(launcher.opened,
              QStringList{QStringLiteral("mailto:support@tarquell.example"
                                         "?Subject=Tarquell%20Translator%20v4.00")});
    // The mail program did not start: said in the status line, nothing else.
    EXPECT_EQ(w.statusText(), QStringLiteral("The mail program could not be started."));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}
