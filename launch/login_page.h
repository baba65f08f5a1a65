#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vellamark {

// The values the login form posts, in the order it posts them (after its action address).
struct LoginFormValues {
    std::string checkUrl;  // the form's action
    std::string username;
    std::string password;
    std::string time;  // "hhnnss"
    std::int64_t seed = 0;
    std::string pin1;
    std::string pin2;
    std::string pin3;
    std::string version;  // "3.0.38"
};

// An attribute value as written into the form: double-quoted, with & < > " ' as character
// references, and control and non-ASCII characters as numeric references, so the browser
// reads back exactly the typed text whatever character set the page declares.
[[nodiscard]] std::string QuotedAttributeValue(std::string_view text);

// True when every character of the text has a form in windows-1252, the character set the
// login form posts in (as browsers read "iso-8859-1"); any other reaches the service as the
// browser writes it, a numeric reference "&#N;", so the service sees the field altered.
[[nodiscard]] bool PostsUnaltered(std::string_view text);

// The form frm1 up to its last field's value; both layouts continue it with their own endings.
[[nodiscard]] std::string CreateFormCore(const LoginFormValues& values);
// The form alone, with a plain submit button: the whole body of a blank page.
[[nodiscard]] std::string CreateShortForm(const LoginFormValues& values);
// The stand-alone login page in the service's look, with a visible "Login" button.
[[nodiscard]] std::string CreateFullPage(const LoginFormValues& values,
                                         std::string_view serviceOrigin);

// The full page's opening (head, banner, layout table, framed message) and closing.
[[nodiscard]] std::string CreatePageHeader(std::string_view serviceOrigin);
[[nodiscard]] std::string CreatePageFooter(std::string_view serviceOrigin);

}  // namespace vellamark
