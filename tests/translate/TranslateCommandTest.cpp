#include "translate/TranslateCommand.h"
#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "platform/AppTitle.h"
#include "platform/Errors.h"

#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The window as the command sees it, recording everything.
struct FakeView : ITranslateView
{
    bool modified = true;
    QString source;
    QString destination;
    QString memo3;
    QString srcName = QStringLiteral("English"), dstName = QStringLiteral("French");
    QStringList statuses;
    QList<QPair<int, int>> selections;
    QList<bool> cursor;
    int focusMoves = 0;
    int pumps = 0;
    std::function<void()> onPump;
    mutable QStringList steps; // what the command did, in order

    bool sourceModified() const override { return modified; }
    QString sourceText() const override
    {
        steps << QStringLiteral("take source");
        return source;
    }
    int sourceLength() const override { return int(source.size()); }
    QString selectSource(int start, int length) override
    {
        selections.append({start, length});
        return source.mid(start, length);
    }
    void setPiece(const QString& t) override { memo3 = t; }
    QString piece() const override { return memo3; }
    void appendLine(const QString& t) override
    {
        steps << QStringLiteral("append ") + t;
        destination += (destination.isEmpty() ? QString() : QStringLiteral("\n")) + t;
    }
    void appendPiece(const QString& t) override { destination += t; }
    QString sourceName() const override { return srcName; }
    QString destinationName() const override { return dstName; }
    void setStatus(const QString& t) override
    {
        statuses << t;
        steps << QStringLiteral("status ") + t;
    }
    void setBusyCursor(bool b) override
    {
        cursor << b;
        steps << (b ? QStringLiteral("hourglass") : QStringLiteral("default cursor"));
    }
    void focusDestination() override
    {
        ++focusMoves;
        steps << QStringLiteral("focus");
    }
    void processEvents() override
    {
        ++pumps;
        steps << QStringLiteral("pump");
        if (onPump)
            onPump();
    }
};

// A text server that answers "[mode] text", fails on request, and lets a
// test act while a call is in flight.
struct FakeRunner : ILegRunner
{
    QStringList calls; // "mode|text"
    int failAt = -1;   // 0-based call number that fails
    std::function<void(int)> during;
    bool aborted = false;

    QString translateLeg(const QString& mode, const QString& text) override
    {
        const int n = int(calls.size());
        calls << mode + QLatin1Char('|') + text;
        if (during)
            during(n);
        if (aborted)
            throw SilentAbort();
        if (n == failAt)
            throw TarquellError(QStringLiteral("Not Found (404) - 'http://127.0.0.1/x'"));
        return QLatin1Char('[') + mode + QStringLiteral("] ") + text;
    }
    void abort() override { aborted = true; }
};

struct Fixture
{
    FakeView view;
    FakeRunner runner;
    ScriptedDialogs dialogs;
    TranslateCommand command{view, dialogs};
    TranslateRequest request;

    Fixture(const char* src, const char* dst, bool split = false, int quote = 5000)
    {
        AppTitle::set(AppTitle::InterfaceTitle);
        request.SrcLangCode = QString::fromLatin1(src);
        request.DstLangCode = QString::fromLatin1(dst);
        request.MultiThreading = split;
        request.MTQuote = quote;
    }
    void run() { command.run(request, runner); }
};

const QString Hint =
    QStringLiteral("Done.          Hint: If you see mass code such as ????? in the "
                   "translation window, click 'Viewer' button.");

} // namespace

TEST(TranslateWhole, LegPlansStatusesAndResults)
{
    const struct
    {
        const char *src, *dst, *srcName, *dstName;
        QStringList calls;
        QStringList statuses;
        const char* result;
    } rows[] = {
        {"en",
         "fr",
         "English",
         "French",
         {"en_fr|Hello"},
         {"Translating from English to French...", "Done."},
         "[en_fr] Hello"},
        {"es",
         "fr",
         "Spanish",
         "French",
         {"es_en|Hello", "en_fr|[es_en] Hello"},
         {"Translating from Spanish to French via English ...", "Translating ...", "Done."},
         "[en_fr] [es_en] Hello"},
        {"pt",
         "ko",
         "Portuguese",
         "Korean",
         {"pt_en|Hello", "en_ko|[pt_en] Hello"},
         {"Translating from Portuguese to Korean via English ...", "Translating ...",
          Hint.toLatin1().constData()},
         "[en_ko] [pt_en] Hello"},
        {"en",
         "ja",
         "English",
         "Japanese",
         {"en_ja|Hello"},
         {"Translating from English to Japanese...", Hint.toLatin1().constData()},
         "[en_ja] Hello"},
        {"en",
         "de",
         "English",
         "German",
         {"en_de|Hello"},
         {"Translating from English to German...", "Done."},
         "[en_de] Hello"},
        {"de",
         "fr",
         "German",
         "French",
         {"de_fr|Hello"},
         {"Translating from German to French...", "Done."},
         "[de_fr] Hello"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.srcName);
        Fixture f(r.src, r.dst);
        f.view.source = QStringLiteral("Hello");
        f.view.srcName = QString::fromLatin1(r.srcName);
        f.view.dstName = QString::fromLatin1(r.dstName);
        f.run();
        EXPECT_EQ(f.runner.calls, r.calls);
        EXPECT_EQ(f.view.statuses, r.statuses);
        EXPECT_EQ(f.view.destination, QString::fromLatin1(r.result));
        EXPECT_EQ(f.view.cursor, (QList<bool>{true, false}));
        EXPECT_EQ(f.view.focusMoves, 1);
        EXPECT_TRUE(f.dialogs.shown.isEmpty());
        EXPECT_TRUE(f.view.selections.isEmpty());
    }
}

TEST(TranslateWhole, SecondRunAppendsAndEmptyModifiedPaneSendsEmptyText)
{
    Fixture f("en", "fr");
    f.view.source = QStringLiteral("one");
    f.run();
    f.view.source = QString();
    f.run();
    EXPECT_EQ(f.runner.calls, (QStringList{QStringLiteral("en_fr|one"), QStringLiteral("en_fr|")}));
    EXPECT_EQ(f.view.destination, QStringLiteral("[en_fr] one\n[en_fr] "));
}

// The whole text's steps in order: the source is taken after the status
// text is set, and the translation is appended and messages processed
// before the finishing step.
TEST(TranslateWhole, StepOrder)
{
    const struct
    {
        const char *src, *dst;
        QStringList steps;
    } rows[] = {
        {"en",
         "fr",
         {"hourglass", "pump", "status Translating from English to French...", "take source",
          "pump", "leg en_fr", "pump", "append [en_fr] Hi", "pump", "default cursor",
          "status Done.", "focus"}},
        {"es",
         "fr",
         {"hourglass", "pump", "status Translating from English to French via English ...", "pump",
          "take source", "leg es_en", "pump", "status Translating ...", "pump", "leg en_fr", "pump",
          "append [en_fr] [es_en] Hi", "pump", "default cursor", "status Done.", "focus"}},
    };
    for (const auto& r : rows) {
        Fixture f(r.src, r.dst);
        f.view.source = QStringLiteral("Hi");
        f.runner.during = [&](int n) {
            f.view.steps << QStringLiteral("leg ") +
                                f.runner.calls[n].section(QLatin1Char('|'), 0, 0);
        };
        f.run();
        EXPECT_EQ(f.view.steps, r.steps) << r.src << "_" << r.dst;
    }
}

TEST(TranslateRefusals, NothingToTranslateAndEqualLanguages)
{
    const struct
    {
        bool modified;
        const char *src, *dst;
        bool split;
        const char *caption, *text;
        int selections;
        QStringList statuses;
    } rows[] = {
        {false, "en", "fr", false, "Tarquell Translator 4.00", "Nothing to translate.", 0, {}},
        {false, "en", "fr", true, "Tarquell Translator 4.00", "Nothing to translate.", 0, {}},
        {true,
         "fr",
         "fr",
         false,
         "Error",
         "Source Language and Destination Language are the same",
         0,
         {}},
        // No languages loaded and none picked: two empty codes.
        {true,
         "",
         "",
         false,
         "Error",
         "Source Language and Destination Language are the same",
         0,
         {}},
        // Split mode selects the first piece and shows its status first.
        {true,
         "de",
         "de",
         true,
         "Error",
         "Source Language and Destination Language are the same",
         1,
         {"Splitting  0 / 5"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        Fixture f(r.src, r.dst, r.split);
        f.view.modified = r.modified;
        f.view.source = QStringLiteral("Hallo");
        f.run();
        EXPECT_TRUE(f.runner.calls.isEmpty());
        ASSERT_EQ(f.dialogs.shown.size(), 1);
        EXPECT_EQ(f.dialogs.shown[0].caption, QString::fromLatin1(r.caption));
        EXPECT_EQ(f.dialogs.shown[0].text, QString::fromLatin1(r.text));
        EXPECT_EQ(f.dialogs.shown[0].icon, MsgIcon::None);
        EXPECT_EQ(f.view.selections.size(), r.selections);
        EXPECT_EQ(f.view.statuses, r.statuses);
        EXPECT_TRUE(f.view.cursor.isEmpty());
        EXPECT_EQ(f.view.focusMoves, 0);
        EXPECT_FALSE(f.command.isRunning());
    }
}

TEST(TranslateSplit, SevenThousandCharactersInThreePieces)
{
    Fixture f("en", "fr", true, 3000);
    f.view.source = QString(7000, QLatin1Char('a'));
    f.view.destination = QStringLiteral("old");
    f.run();
    EXPECT_EQ(f.view.selections, (QList<QPair<int, int>>{{0, 3000}, {3000, 3000}, {6000, 1000}}));
    EXPECT_EQ(
        f.view.statuses,
        (QStringList{QStringLiteral("Splitting  0 / 7000"),
                     QStringLiteral("Translating from English to French...        3000 of 7000"),
                     QStringLiteral("Done."), QStringLiteral("Splitting  3000 / 7000"),
                     QStringLiteral("Translating from English to French...        6000 of 7000"),
                     QStringLiteral("Done."), QStringLiteral("Splitting  6000 / 7000"),
                     QStringLiteral("Translating from English to French...        9000 of 7000"),
                     QStringLiteral("Done.")}));
    const QString p = QStringLiteral("[en_fr] ");
    EXPECT_EQ(f.view.destination, QStringLiteral("old") + p + QString(3000, QLatin1Char('a')) + p +
                                      QString(3000, QLatin1Char('a')) + p +
                                      QString(1000, QLatin1Char('a')));
    EXPECT_TRUE(f.view.memo3.isEmpty());
    EXPECT_EQ(f.view.focusMoves, 1);
}

TEST(TranslateSplit, PieceSizeAndTwoLegStatus)
{
    for (auto [quote, size] :
         {std::pair{50, 3000}, {100, 3000}, {101, 101}, {-5, 3000}, {5000, 5000}})
        EXPECT_EQ(TranslateCommand::pieceSize(quote), size) << quote;

    Fixture f("it", "de", true, 50);
    f.view.srcName = QStringLiteral("Italian");
    f.view.dstName = QStringLiteral("German");
    f.view.source = QStringLiteral("ciao");
    f.run();
    EXPECT_EQ(
        f.view.statuses,
        (QStringList{QStringLiteral("Splitting  0 / 4"),
                     QStringLiteral("Translating from Italian to German  ...        3000 of 4"),
                     QStringLiteral("Translating ..."), QStringLiteral("Done.")}));
    EXPECT_EQ(f.runner.calls,
              (QStringList{QStringLiteral("it_en|ciao"), QStringLiteral("en_de|[it_en] ciao")}));
    EXPECT_EQ(f.view.destination, QStringLiteral("[en_de] [it_en] ciao"));
}

TEST(TranslateSplit, EmptyModifiedPaneSendsNothingAndMovesFocus)
{
    Fixture f("en", "fr", true);
    f.view.source = QString();
    f.run();
    EXPECT_TRUE(f.runner.calls.isEmpty());
    EXPECT_TRUE(f.view.statuses.isEmpty());
    EXPECT_EQ(f.view.focusMoves, 1);
}

TEST(TranslateSplit, LengthIsTakenAfreshBeforeEveryPiece)
{
    Fixture f("en", "fr", true, 101);
    f.view.source = QString(150, QLatin1Char('x'));
    // The user types more while the first piece travels.
    f.runner.during = [&](int n) {
        if (n == 0)
            f.view.source += QString(100, QLatin1Char('y'));
    };
    f.run();
    EXPECT_EQ(f.runner.calls.size(), 3);
    EXPECT_EQ(f.view.statuses.last(), QStringLiteral("Done."));
    EXPECT_EQ(f.view.statuses[3], QStringLiteral("Splitting  101 / 250"));
}

TEST(TranslateFailure, WholeTextKeepsDestinationAndRethrowsAfterFinishing)
{
    Fixture f("en", "ru");
    f.view.source = QStringLiteral("Hello");
    f.view.destination = QStringLiteral("before");
    f.runner.failAt = 0;
    EXPECT_THROW(f.run(), TarquellError);
    EXPECT_EQ(f.view.destination, QStringLiteral("before"));
    EXPECT_EQ(f.view.statuses.last(), Hint);
    EXPECT_EQ(f.view.cursor, (QList<bool>{true, false}));
    EXPECT_EQ(f.view.focusMoves, 0);
    EXPECT_FALSE(f.command.isRunning());
}

TEST(TranslateFailure, SplitKeepsEarlierPiecesAndTheFailedPiece)
{
    Fixture f("es", "fr", true, 200);
    f.view.source = QString(200, QLatin1Char('a')) + QString(200, QLatin1Char('b')) +
                    QString(200, QLatin1Char('c'));
    f.runner.failAt = 3; // the second leg of the second piece
    EXPECT_THROW(f.run(), TarquellError);
    EXPECT_EQ(f.runner.calls.size(), 4);
    EXPECT_EQ(f.view.destination,
              QStringLiteral("[en_fr] [es_en] ") + QString(200, QLatin1Char('a')));
    EXPECT_EQ(f.view.selections.last(), (QPair<int, int>{200, 200}));
    EXPECT_EQ(f.view.memo3, QString(200, QLatin1Char('b')));
    EXPECT_EQ(f.view.statuses.last(), QStringLiteral("Done."));
    EXPECT_EQ(f.view.cursor.last(), false);
    EXPECT_EQ(f.view.focusMoves, 0);
}

TEST(TranslateWhileRunning, SecondTranslateIsIgnored)
{
    Fixture f("en", "fr");
    f.view.source = QStringLiteral("Hello");
    f.runner.during = [&](int) { f.run(); };
    f.run();
    EXPECT_EQ(f.runner.calls.size(), 1);
    EXPECT_EQ(f.view.destination, QStringLiteral("[en_fr] Hello"));
    EXPECT_TRUE(f.dialogs.shown.isEmpty());
}

TEST(TranslateWhileRunning, EscAbortsTheCallAndSendsNothingMore)
{
    for (bool split : {false, true}) {
        Fixture f("es", "fr", split, 101);
        f.view.source = QString(300, QLatin1Char('s'));
        // Whole: during the second leg. Split: during the first leg of piece 2.
        const int abortAt = split ? 2 : 1;
        f.runner.during = [&](int n) {
            if (n == abortAt)
                f.command.cancel();
        };
        f.run();
        EXPECT_EQ(f.runner.calls.size(), abortAt + 1) << split;
        EXPECT_TRUE(f.runner.aborted);
        EXPECT_EQ(f.view.statuses.last(), QStringLiteral("Translation cancelled."));
        EXPECT_EQ(f.view.destination,
                  split ? QStringLiteral("[en_fr] [es_en] ") + QString(101, QLatin1Char('s'))
                        : QString());
        EXPECT_EQ(f.view.cursor.last(), false);
        EXPECT_FALSE(f.command.isRunning());
        EXPECT_TRUE(f.dialogs.shown.isEmpty());
    }

    // Esc between steps: the next leg is not sent.
    Fixture f("es", "fr");
    f.view.source = QStringLiteral("hola");
    f.runner.during = [&](int n) {
        if (n == 0)
            f.view.onPump = [&] { f.command.cancel(); };
    };
    f.run();
    EXPECT_EQ(f.runner.calls.size(), 1);
    EXPECT_EQ(f.view.statuses.last(), QStringLiteral("Translation cancelled."));
    EXPECT_EQ(f.view.cursor.last(), false);
    EXPECT_TRUE(f.view.destination.isEmpty());
    EXPECT_EQ(f.view.focusMoves, 0);
}

TEST(TranslateWhileRunning, ClosingLetsTheCallEndAndSendsNothingMore)
{
    Fixture f("en", "fr", true, 101);
    f.view.source = QString(300, QLatin1Char('q'));
    f.runner.during = [&](int n) {
        if (n == 0)
            f.command.stopAfterCurrentCall();
    };
    f.run();
    EXPECT_EQ(f.runner.calls.size(), 1);
    EXPECT_EQ(f.view.destination, QStringLiteral("[en_fr] ") + QString(101, QLatin1Char('q')));
    EXPECT_EQ(f.view.focusMoves, 0);
    EXPECT_FALSE(f.runner.aborted);
    // The next run starts afresh.
    f.runner.during = nullptr;
    f.run();
    EXPECT_EQ(f.runner.calls.size(), 4);
}
