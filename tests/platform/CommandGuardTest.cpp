#include "ScriptedDialogs.h"
#include "platform/AppTitle.h"
#include "platform/CommandGuard.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

TEST(ErrorBox, FullStopAppendedOnlyAfterCharactersSortingAfterDot)
{
    const struct
    {
        const char* message;
        const char* shown;
    } rows[] = {
        {"Not Found (404) - 'http://x/'", "Not Found (404) - 'http://x/'"}, // quote sorts before '.'
        {"Server busy", "Server busy."},
        {"Ends with a dot.", "Ends with a dot."},
        {"Ends with a bang!", "Ends with a bang!"}, // '!' sorts before '.'
        {"Ends with a blank ", "Ends with a blank "},
        {"Ends in digit 7", "Ends in digit 7."},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(errorBoxText(QString::fromUtf8(row.message)), QString::fromUtf8(row.shown))
            << row.message;
}

TEST(ErrorBox, GuardShowsFailureWithTitleAndErrorIconAndGoesOn)
{
    ScriptedDialogs dialogs;
    AppTitle::set(AppTitle::StartTitle);
    bool ok = runGuarded(dialogs, [] { throw TarquellError(QStringLiteral("Invalid SOAP request")); });
    EXPECT_FALSE(ok);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Tarquell Translator  4.00"));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Invalid SOAP request."));
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::Ok);

    // A silent abort shows nothing; a plain std::exception shows its text.
    EXPECT_FALSE(runGuarded(dialogs, [] { throw SilentAbort(); }));
    EXPECT_EQ(dialogs.shown.size(), 1);
    runGuarded(dialogs, [] { throw std::runtime_error("Ünïcode fails"); });
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("Ünïcode fails."));
    EXPECT_TRUE(runGuarded(dialogs, [] {}));
}
