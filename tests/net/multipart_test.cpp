// The form's file-name encodings, the URL rule and the proxy choice, which need no server.
#include "local_servers.h"
#include "qx/net/http_upload.h"
#include "qx/net/multipart.h"

#include <gtest/gtest.h>

namespace qx::test {
namespace {

TEST(Multipart, PercentEncodingKeepsSafeBytesAndEncodesTheRestInUpperCase) {
    EXPECT_EQ(net::percentEncodeFileName("a-b_c.9.jpg"), "a-b_c.9.jpg");
    EXPECT_EQ(net::percentEncodeFileName("my pic\t.jpg"), "my+pic+.jpg");
    // 中 is E4 B8 AD in UTF-8.
    EXPECT_EQ(net::percentEncodeFileName("\xe4\xb8\xad.jpg"), "%E4%B8%AD.jpg");
    EXPECT_EQ(net::percentEncodeFileName("a\"b%c/d"), "a%22b%25c%2Fd");
}

TEST(Multipart, QuotedFileNamesCannotEndTheNameOrTheHeader) {
    EXPECT_EQ(net::quotableFileName("plain 中.jpg"), "plain 中.jpg");
    EXPECT_EQ(net::quotableFileName("a\"; name=\"x\r\nX-Evil: 1.jpg"), "a%22; name=%22x%0D%0AX-Evil: 1.jpg");
}

TEST(UploadUrl, HttpsIsAlwaysSecureAndPort443TooWhateverTheScheme) {
    const auto plain = net::parseUploadUrl("http://example.test/up/load.php?id=7&x=1#frag");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->server, "example.test");
    EXPECT_EQ(plain->port, 80);
    EXPECT_EQ(plain->object, "/up/load.php?id=7&x=1");
    EXPECT_EQ(plain->serviceType, 3);
    EXPECT_FALSE(plain->secure());
    EXPECT_EQ(plain->transportUrl(), "http://example.test:80/up/load.php?id=7&x=1");

    const auto https = net::parseUploadUrl("HTTPS://example.test");
    ASSERT_TRUE(https);
    EXPECT_EQ(https->port, 443);
    EXPECT_EQ(https->object, "/");
    EXPECT_EQ(https->serviceType, 4107);
    EXPECT_TRUE(https->secure());

    const auto httpsOtherPort = net::parseUploadUrl("https://127.0.0.1:8443/u");
    ASSERT_TRUE(httpsOtherPort);
    EXPECT_TRUE(httpsOtherPort->secure());
    EXPECT_EQ(httpsOtherPort->transportUrl(), "https://127.0.0.1:8443/u");

    const auto httpOn443 = net::parseUploadUrl("http://127.0.0.1:443/u");
    ASSERT_TRUE(httpOn443);
    EXPECT_TRUE(httpOn443->secure());
    EXPECT_EQ(httpOn443->transportUrl(), "https://127.0.0.1:443/u");

    const auto v6 = net::parseUploadUrl("http://[::1]:8080/");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->server, "[::1]");

    for (const char* bad : {"", "nonsense", "127.0.0.1/upload", "ftp://127.0.0.1/", "http://", "http://h:0/",
                            "http://h:70000/", "http://h:80x/"})
        EXPECT_FALSE(net::parseUploadUrl(bad)) << bad;
}

TEST(Proxy, SettingsAreUsedAsTheyStandOrByTheRequestsScheme) {
    EXPECT_EQ(net::proxyFromSetting("10.0.0.1:3128", false), "10.0.0.1:3128");
    EXPECT_EQ(net::proxyFromSetting("http://10.0.0.1:3128", true), "http://10.0.0.1:3128");
    EXPECT_EQ(net::proxyFromSetting("http=h1:1;https=h2:2", false), "h1:1");
    EXPECT_EQ(net::proxyFromSetting("http=h1:1;https=h2:2", true), "h2:2");
    EXPECT_EQ(net::proxyFromSetting("ftp=f:21 h3:3", true), "h3:3");
    EXPECT_EQ(net::proxyFromSetting("ftp=f:21", false), "");
}

TEST(Proxy, EnvironmentIsReadInTheOrderOfCommandLinePrograms) {
    NoProxyEnvironment clean;
    EXPECT_EQ(net::environmentProxy(false).state, net::EnvironmentProxy::State::Unset);
    {
        ScopedEnv all("ALL_PROXY", QStringLiteral("a:1"));
        EXPECT_EQ(net::environmentProxy(true).value, "a:1");
        ScopedEnv http("HTTP_PROXY", QStringLiteral("h:2"));
        EXPECT_EQ(net::environmentProxy(false).value, "h:2");
        EXPECT_EQ(net::environmentProxy(true).value, "h:2");
        ScopedEnv https("https_proxy", QStringLiteral("s:3"));
        EXPECT_EQ(net::environmentProxy(true).value, "s:3");
        EXPECT_EQ(net::environmentProxy(false).value, "h:2");
        ScopedEnv emptyLower("http_proxy", QString());
        EXPECT_EQ(net::environmentProxy(false).state, net::EnvironmentProxy::State::Empty);
    }
}

} // namespace
} // namespace qx::test
