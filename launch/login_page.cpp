#include "launch/login_page.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/text.h"

namespace vellamark {
namespace {

void AppendNumericReference(std::string& out, std::uint32_t codePoint) {
    out += "&#";
    out += std::to_string(codePoint);
    out += ';';
}

}  // namespace

bool PostsUnaltered(std::string_view text) {
    // What windows-1252 puts at 0x80..0x9F (where Latin-1 has control characters); the five
    // bytes it leaves undefined stand for the control characters of their own number.
    static constexpr char32_t kHigh[] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t c = NextCodePoint(text, pos);
        if (c >= 0x80 && (c < 0xA0 || c > 0xFF) &&
            std::find(std::begin(kHigh), std::end(kHigh), c) == std::end(kHigh)) {
            return false;
        }
    }
    return true;
}

std::string QuotedAttributeValue(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (std::size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x80) {
            // The page file declares iso-8859-1 while the program's text is UTF-8: a reference
            // keeps a non-ASCII character intact under any declared character set.
            AppendNumericReference(out, NextCodePoint(text, pos));
            continue;
        }
        ++pos;
        switch (byte) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                // Control characters as references keep the page on one line and are not
                // folded by the parser's line-break normalisation.
                if (byte < 0x20 || byte == 0x7F) {
                    AppendNumericReference(out, byte);
                } else {
                    out += static_cast<char>(byte);
                }
        }
    }
    out += '"';
    return out;
}

std::string CreateFormCore(const LoginFormValues& values) {
    const std::string seed = std::to_string(values.seed);
    const std::pair<const char*, std::string_view> fields[] = {
        {"username", values.username}, {"password", values.password},
        {"time", values.time},         {"seed", seed},
        {"pin1", values.pin1},         {"pin2", values.pin2},
        {"pin3", values.pin3},         {"appver", values.version}};
    // The last input stays open: the short form and the full page each close it their own way.
    // The form posts in the character set the login page declares, iso-8859-1, which browsers
    // send as windows-1252 (as the service's Windows peers do), also from the blank page of the
    // in-browser path, whose own character set is UTF-8. A character outside it is sent as the
    // browser writes it, "&#N;", the same on both paths.
    std::string form = "<form name=frm1 id=frm1 accept-charset=iso-8859-1 action=" +
                       QuotedAttributeValue(values.checkUrl) + " method=post";
    for (const auto& [name, value] : fields) {
        form += "><input type=hidden name=";
        form += name;
        form += " value=";
        form += QuotedAttributeValue(value);
    }
    return form;
}

std::string CreateShortForm(const LoginFormValues& values) {
    return CreateFormCore(values) + "><input type=submit></form>";
}

std::string CreateFullPage(const LoginFormValues& values, std::string_view serviceOrigin) {
    return CreatePageHeader(serviceOrigin) + CreateFormCore(values) +
           "><p style=\"text-align:right;width:95%\"><input type=submit value=\"Login\" "
           "style=\"FONT-SIZE: 11px;FONT-FAMILY: Verdana, Arial, Helvetica, "
           "sans-serif;\"></p></form>" +
           CreatePageFooter(serviceOrigin);
}

std::string CreatePageHeader(std::string_view serviceOrigin) {
    const std::string origin(serviceOrigin);
    std::string page;
    // The head. The style sheet's rel attribute holds the absolute address and its href a
    // relative name: the service's pages have always been written that way.
    page += "<html><head><title>Vellamark from Ostrand</title>";
    page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">";
    page += "<link rel=\"" + origin + "/stylesheet\" href=\"p_style.css\" type=\"text/css\">";
    page += "<script src=\"" + origin +
            "/vellamar.js\" language=\"javascript\" type=\"text/javascript\"></script>";
    page +=
        "<link href=\"" + origin + "/CalendarControl.css\" rel=\"stylesheet\" type=\"text/css\" />";
    page += "<script src=\"" + origin + "/CalendarControl.js\" language=\"javascript\"></script>";
    page += "<script src=\"" + origin + "/ComboControl.js\" language=\"javascript\"></script>";
    page +=
        "</head><body topmargin=2 onload=\"javascript:window.status='Vellamark from OstRand'\">";

    // The banner; the second logo stays commented out.
    page +=
        "<table width=\"100%\" height=41 border=0 cellspacing=0 cellpadding=0>"
        "<tr height=18><td width=\"60%\" rowspan=2 valign=bottom "
        "style=\"padding-top:0px;padding-left:85px\"><img src=\"" +
        origin + "/include/logo.gif\">&nbsp;<!-- <img src=\"" + origin +
        "/include/logo2.gif\"> -->&nbsp;&nbsp;&nbsp; &nbsp;&nbsp;</td></tr>"
        "<tr height=25px><td>&nbsp;</td></tr></td></table>";
    // The layout table; its wide cell stays open and holds everything that follows.
    page +=
        "<p><center><table width=750 border=0>"
        "<tr><td colspan=2 height=2 style=\"BACKGROUND-COLOR: transparent\">"
        "<img src=\"transparent.gif\" height=2></td></tr>"
        "<tr><td width=\"2%\" style=\"BACKGROUND-COLOR: transparent\">&nbsp;</td>"
        "<td width=\"98%\" style=\"BACKGROUND-COLOR: transparent\" valign=top>";

    // The framed message; its text cell stays open so the form follows the sentence.
    page += "<span class=heading>&nbsp; </span><p>";
    page +=
        "<table cellspacing=0 cellpadding=0 border=0 style=\"background-color:#CEDEFA;"
        "FONT-SIZE: 11px;FONT-FAMILY: Verdana, Arial, Helvetica, sans-serif;\">"
        "<tr><td width=14 valign=top><img src=" +
        origin +
        "/include/ez1ul.jpg width=\"15\" height=\"15\"></td><td>&nbsp;</td>"
        "<td width=14 valign=top rowspan=2><img src=" +
        origin +
        "/include/ez1ur.jpg width=\"15\" height=\"15\"></td></tr>"
        "<tr><td></td><td valign=top>Your login credentials have been loaded into this page, "
        "click 'Login' below to access the system.";
    return page;
}

std::string CreatePageFooter(std::string_view serviceOrigin) {
    const std::string origin(serviceOrigin);
    return "</td></tr><tr><td rowspan=2 width=14><img src=" + origin +
           "/include/ez1ll.jpg width=\"15\" height=\"15\"></td><td></td><td rowspan=2 "
           "width=14><img src=" +
           origin + "/include/ez1lr.jpg width=\"15\" height=\"15\"></td></tr></table>";
}

}  // namespace vellamark
