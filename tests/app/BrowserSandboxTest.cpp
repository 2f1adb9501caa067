// Browser mode as root: the web engine keeps Chromium's sandbox, which
// cannot work there, so the window says so in one line and stays in text
// mode, loading nothing; the user's own QTWEBENGINE_DISABLE_SANDBOX=1 is
// the one way past it.
#include "WindowFixture.h"

#include "app/BrowserModule.h"

#include <QTextEdit>
#include <QToolButton>

namespace {
// The variable as the test found it, put back when the test ends.
class SandboxVariable
{
public:
    SandboxVariable() : m_set(qEnvironmentVariableIsSet(name)), m_value(qgetenv(name)) {}
    ~SandboxVariable()
    {
        if (m_set)
            qputenv(name, m_value);
        else
            qunsetenv(name);
    }
    static constexpr const char* name = "QTWEBENGINE_DISABLE_SANDBOX";

private:
    bool m_set;
    QByteArray m_value;
};
} // namespace

TEST_F(WindowTest, AsRootBrowserModeSaysTheSandboxCannotWorkAndStaysInTextMode)
{
    SandboxVariable restore;
    qunsetenv(SandboxVariable::name);
    browserFactory = browserModuleFactory(true);
    TfrmMain& w = open();
    ctl<QToolButton>("WebBtn")->click();
    EXPECT_EQ(w.PaneMode, 0);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("Browser mode is not available as root, where the web engine's "
                             "sandbox cannot work: start the program as an ordinary user, or "
                             "set QTWEBENGINE_DISABLE_SANDBOX=1 to show pages unprotected."));
    EXPECT_FALSE(dialogs.shown[0].text.contains(QLatin1Char('\n')));
    EXPECT_TRUE(ctl<QTextEdit>("Memo1")->isVisibleTo(&w));
    EXPECT_TRUE(ctl<QToolButton>("WebBtn")->isVisibleTo(&w));
    EXPECT_FALSE(ctl<QToolButton>("TextBtn")->isVisibleTo(&w));
    EXPECT_EQ(w.findChild<QWidget*>(QStringLiteral("WebBrowser1")), nullptr);
}

TEST(BrowserSandbox, OnlyRootWithoutTheUsersOwnChoiceIsRefused)
{
    SandboxVariable restore;
    const struct
    {
        bool root;
        const char* variable; // null: not set
        bool refused;
    } rows[] = {
        {true, nullptr, true}, {true, "0", true},       {true, "", true},
        {true, "1", false},    {false, nullptr, false}, {false, "0", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.root) + " " + (row.variable ? row.variable : "unset"));
        if (row.variable)
            qputenv(SandboxVariable::name, row.variable);
        else
            qunsetenv(SandboxVariable::name);
        EXPECT_EQ(!browserSandboxProblem(row.root).isEmpty(), row.refused);
    }
}
