// What the update check makes of each shape of reply, and the one request it makes: the real
// program under Wine against a server of the test's own on 127.0.0.1.
#include <windows.h>

#include "about_driver.h"
#include "tests/support/files.h"

namespace {

class UpdateCheck : public AboutTest {};

const std::wstring NEWS = L"凡特文件加密机 V1.2.1 Beta 已是最新版本。\r\n新闻：\t制表符与“引号”照原样显示。";

std::string update_file(const std::string &tag, const std::string &two_bytes, const std::string &text)
{
    return std::string(MAGIC) + tag + two_bytes + text;
}

std::string bytes_of(At at, const std::string &unix_path)
{
    Bytes data = read_file(at, windows_path(unix_path));
    return std::string(data.begin(), data.end());
}

// The news text as its author wrote it (UTF-8), with the line ends the pane needs.
std::wstring authored_news(At at)
{
    std::string text = bytes_of(at, QVX_NEWS_TEXT);
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], units);
    std::wstring out;
    for (wchar_t unit : wide)
        out += unit == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, unit);
    return out;
}

// ASCII after a Chinese first line, so that a cut at any later byte falls between characters.
std::string long_text(size_t bytes)
{
    std::string text = cp936(L"很长的公告：\r\n");
    for (size_t i = 0; text.size() < bytes; i++)
        text += (char)('A' + i % 26);
    text.resize(bytes);
    return text;
}

TEST_F(UpdateCheck, WithoutServerShowsFailureTextAndAsksNothing)
{
    start(AT);   // nothing listens on the port
    expect_pane(AT, about, TEXT_NO_SERVER);
    expect_check_ends_without_question(AT);
    EXPECT_FALSE(IsWindowVisible(about)) << "the check showed the About box";
}

TEST_F(UpdateCheck, ShowsTheNewsOfTheFileMadeByTheMakersTool)
{
    serve_update(AT, bytes_of(AT, QVX_ABOUT_OUT "/same-version.inf"));
    start(AT);
    expect_pane(AT, about, authored_news(AT));
    EXPECT_FALSE(IsWindowVisible(about));
}

TEST_F(UpdateCheck, IgnoresTheTwoBytesBeforeTheText)
{
    // A zero among them must not end the text, which starts after them.
    serve_update(AT, update_file(OUR_TAG, std::string("\0\xFF", 2), cp936(NEWS)));
    start(AT);
    expect_pane(AT, about, NEWS);
}

TEST_F(UpdateCheck, TagWithoutTextEmptiesThePane)
{
    serve_update(AT, std::string(MAGIC) + OUR_TAG, true);
    start(AT);
    ASSERT_TRUE(check) << "no update check runs while its reply is held";
    ASSERT_TRUE(server.wait_requests(1, WAIT_MS));
    set_pane(AT, about, L"（测试标记）");   // so that only setting the empty text empties it
    server.release();
    expect_check_ends_without_question(AT);
    expect_pane(AT, about, L"", 0);
}

TEST_F(UpdateCheck, TextEndsAtAZeroByte)
{
    serve_update(AT, update_file(OUR_TAG, "\r\n", cp936(L"第一段") + std::string(1, '\0') + cp936(L"第二段")));
    start(AT);
    expect_pane(AT, about, L"第一段");
}

TEST_F(UpdateCheck, TextThatFillsTheReadIsShownWhole)
{
    std::string text = long_text(4086);
    serve_update(AT, update_file(OUR_TAG, "\r\n", text));
    start(AT);
    expect_pane(AT, about, from_cp936(text));
}

// The text then has no zero byte within the read, and must still end there.
TEST_F(UpdateCheck, ReplyLongerThanTheReadShowsItsFirst4086TextBytes)
{
    std::string text = long_text(6000);
    serve_update(AT, update_file(OUR_TAG, "\r\n", text));
    start(AT);
    expect_pane(AT, about, from_cp936(text.substr(0, 4086)));
    show_about(AT, app, about);   // the program still answers
    EXPECT_EQ(pane_text(AT, about).size(), from_cp936(text.substr(0, 4086)).size());
    DWORD exit_code;
    EXPECT_FALSE(app_wait_exit(app, 0, &exit_code));
}

const char MOVED_PATH[] = "/Sw/QVX/moved.inf";   // where the redirect points

struct FailureShape {
    const char *name;
    std::string reply;
};

std::string redirect()
{
    // Its target holds a file that would show a text, were the redirect followed.
    return http_reply("302 Found",
                      "Location: http://127.0.0.1:" + std::to_string(QVX_TEST_PORT) + MOVED_PATH +
                          "\r\nContent-Type: text/html\r\n",
                      "<html><body>Moved</body></html>");
}

const FailureShape FAILURE_SHAPES[] = {
    {"LowerCaseMagic", http_ok(std::string("qvx ") + OUR_TAG + "\r\n" + cp936(L"小写的标记"))},
    {"OtherMagic", http_ok(std::string("QVY ") + OUR_TAG + "\r\n" + cp936(L"别的标记"))},
    {"ErrorPage", http_reply("500 Internal Server Error", "Content-Type: text/html\r\n",
                             "<html><body>Internal Server Error</body></html>")},
    {"MissingFile", http_reply("404 Not Found", "Content-Type: text/html\r\n", "<html>Not Found</html>")},
    {"ShorterThanTheMagic", http_ok("QVX")},
    {"EmptyBody", http_ok("")},
    {"Redirect", redirect()},
};

void PrintTo(const FailureShape &shape, std::ostream *out) { *out << shape.name; }

class UpdateCheckFailure : public UpdateCheck, public ::testing::WithParamInterface<FailureShape> {};

TEST_P(UpdateCheckFailure, ShowsFailureText)
{
    serve(AT, {{UPDATE_PATH, GetParam().reply},
               {MOVED_PATH, http_ok(update_file(OUR_TAG, "\r\n", cp936(L"跟随了重定向")))}});
    start(AT);
    expect_pane(AT, about, TEXT_NO_SERVER);
    expect_check_ends_without_question(AT);
    for (const Request &request : server.requests())
        EXPECT_NE(request.line, std::string("GET ") + MOVED_PATH + " HTTP/1.1") << "the redirect was followed";
}

INSTANTIATE_TEST_SUITE_P(Replies, UpdateCheckFailure, ::testing::ValuesIn(FAILURE_SHAPES),
                         [](const ::testing::TestParamInfo<FailureShape> &info) { return info.param.name; });

struct QuestionShape {
    const char *name;
    std::string body;
};

const QuestionShape QUESTION_SHAPES[] = {
    {"MagicAlone", MAGIC},
    {"TagInOtherCase", update_file("121b", "\r\n", cp936(L"标签只差大小写"))},
};

void PrintTo(const QuestionShape &shape, std::ostream *out) { *out << shape.name; }

class UpdateCheckQuestion : public UpdateCheck, public ::testing::WithParamInterface<QuestionShape> {};

TEST_P(UpdateCheckQuestion, AsksAndTouchesNothingElse)
{
    serve_update(AT, GetParam().body);
    start(AT);
    answer_question(AT, app, about, wait_notice(AT, app), IDNO);
    EXPECT_EQ(utf8(pane_text(AT, about)), "");
    EXPECT_FALSE(IsWindowVisible(about));
}

INSTANTIATE_TEST_SUITE_P(Replies, UpdateCheckQuestion, ::testing::ValuesIn(QUESTION_SHAPES),
                         [](const ::testing::TestParamInfo<QuestionShape> &info) { return info.param.name; });

TEST_F(UpdateCheck, NoToTheQuestionDoesNothingMore)
{
    serve_update(AT, bytes_of(AT, QVX_ABOUT_OUT "/new-version.inf"));
    start(AT);
    // The answer is waited for until its thread has ended: no further question can come.
    answer_question(AT, app, about, wait_notice(AT, app), IDNO);
    // Nothing tells that a browser will not start; the yes below shows how soon one is seen.
    expect_no_browser(AT);
    EXPECT_EQ(utf8(pane_text(AT, about)), "");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(UpdateCheck, YesToTheQuestionOpensTheDownloadPage)
{
    serve_update(AT, bytes_of(AT, QVX_ABOUT_OUT "/new-version.inf"));
    start(AT);
    answer_question(AT, app, about, wait_notice(AT, app), IDYES);
    std::vector<std::string> opened = wait_browser(AT, 1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], utf8(server_address()) + "/Sw/QVX/DL.htm");
    EXPECT_EQ(utf8(pane_text(AT, about)), "");
    EXPECT_EQ(find_notice(app), nullptr);
    EXPECT_FALSE(IsWindowVisible(about));
}

// A reply that invites caching: the next start must ask the server again, unconditionally.
std::string cacheable(const std::string &body)
{
    return http_reply("200 OK",
                      "Content-Type: application/octet-stream\r\nCache-Control: public, max-age=86400\r\n"
                      "Expires: Fri, 01 Jan 2100 00:00:00 GMT\r\nLast-Modified: Sat, 08 Feb 2014 00:00:00 GMT\r\n"
                      "ETag: \"121B\"\r\n",
                      body);
}

// WinINet asks for no revalidation here (under Wine it sends neither Cache-Control nor Pragma for
// these flags): what shows that no cache is used is that a second start asks again, unconditionally,
// after a reply that invited caching.
void expect_plain_request(At at, const Request &request)
{
    SCOPED_TRACE(request.line);
    if (request.line != std::string("GET ") + UPDATE_PATH + " HTTP/1.1")
        fail_at(at, "request line \"" + request.line + "\"");
    if (request.count("User-Agent") != 1 || request.header("User-Agent") != "Vantle File Encryptor")
        fail_at(at, "user agent \"" + request.header("User-Agent") + "\"");
    if (request.header("Host") != "127.0.0.1:" + std::to_string(QVX_TEST_PORT))
        fail_at(at, "host \"" + request.header("Host") + "\"");
    for (const char *conditional : {"If-Modified-Since", "If-None-Match"})
        if (request.count(conditional))
            fail_at(at, std::string(conditional) + " sent: the reply came from a cache");
}

TEST_F(UpdateCheck, AsksOnceWithItsNameAndNeverFromACache)
{
    serve(AT, {{UPDATE_PATH, cacheable(update_file(OUR_TAG, "\r\n", cp936(L"第一次的公告")))}});
    start(AT);
    expect_pane(AT, about, L"第一次的公告");
    std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    expect_plain_request(AT, requests[0]);
    std::string headers;
    for (auto &h : requests[0].headers)
        headers += h.first + ": " + h.second + "; ";
    RecordProperty("request_headers", headers);

    app_end(app);
    server.set_route(UPDATE_PATH, cacheable(update_file(OUR_TAG, "\r\n", cp936(L"第二次的公告"))));
    start(AT);
    expect_pane(AT, about, L"第二次的公告");
    requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    expect_plain_request(AT, requests[1]);
}

}   // namespace
