// The connection to the notification service that stays open after sending: each answer
// reaches the notification it belongs to, once, on a private session bus.
#include <gtest/gtest.h>

#include "services/Notifier.h"
#include "support/TestSessionBus.h"

namespace tessaly {
namespace {

TEST(DesktopNotifier, EachAnswerReachesItsOwnNotificationOnce) {
    if (!test::SessionBusAvailable()) GTEST_SKIP() << "dbus-daemon is not installed";
    test::TStandInDesktop desktop({"body"});
    ASSERT_TRUE(desktop.Ready());
    test::TNotificationServer& server = desktop.Server();
    auto connected = TDesktopNotifier::Connect();
    ASSERT_TRUE(connected) << connected.error();
    TDesktopNotifier& notifier = *connected.value();
    std::vector<TNotificationAnswer> answers;
    notifier.OnAnswer = [&answers](const TNotificationAnswer& a) { answers.push_back(a); };
    auto waitFor = [&notifier](auto done) {
        for (int i = 0; i < 100 && !done(); ++i)
            notifier.Wait(100);
        return done();
    };

    std::vector<uint32_t> ids;
    std::string failure;
    // The second's summary is no UTF-8 (an old table's Latin-1): made so, not refused.
    for (const char* summary : {"first", "caf\xe9"}) {
        TDesktopNotification n;
        n.Summary = summary;
        notifier.Send(n, [&](TResult<uint32_t> id) {
            if (id)
                ids.push_back(id.value());
            else
                failure = id.error();
        });
    }
    ASSERT_TRUE(waitFor([&] { return ids.size() == 2 || !failure.empty(); })) << failure;
    ASSERT_EQ(ids.size(), 2u) << failure;
    EXPECT_EQ(server.Calls().at(1).summary, "caf\xc3\xa9");

    // Another program's notification is clicked; then the second with a token; then the
    // first expires. Each close after a click is no second answer.
    server.Answer(ids[1] + 40, "default");
    server.Answer(ids[1], "default", "token-2");
    server.Answer(ids[0], "");
    ASSERT_TRUE(waitFor([&] { return answers.size() >= 2; }));
    notifier.Wait(300);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].Id, ids[1]);
    EXPECT_EQ(answers[0].Action, "default");
    EXPECT_EQ(answers[0].ActivationToken, "token-2");
    EXPECT_EQ(answers[1].Id, ids[0]);
    EXPECT_EQ(answers[1].Action, "");
    EXPECT_EQ(answers[1].ActivationToken, "");
}

}  // namespace
}  // namespace tessaly
