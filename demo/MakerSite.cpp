#include "demo/MakerSite.h"

#include "data/ConfigBox.h"
#include "demo/Gif.h"
#include "demo/HomeFiles.h"

namespace tessaly::demo {

namespace {

struct TGloss {
    const char* en;
    const char* fr;
    const char* de;
    const char* sp;
};

// Enough words for the demo's job titles; the real service is not needed for the demo.
const TGloss kGlossary[] = {
    {"accountant", "comptable", "Buchhalter", "contador"},
    {"administrator", "administrateur", "Administrator", "administrador"},
    {"analyst", "analyste", "Analytiker", "analista"},
    {"assistant", "assistant", "Assistent", "asistente"},
    {"chef", "chef", "Koch", "cocinero"},
    {"civil", "civil", "Bau", "civil"},
    {"clerk", "commis", "Angestellter", "empleado"},
    {"database", "bases de donn\xe9\x65s", "Datenbank", "base de datos"},
    {"developer", "d\xe9veloppeur", "Entwickler", "desarrollador"},
    {"electrical", "\xe9lectricien", "Elektro", "el\xe9\x63trico"},
    {"engineer", "ing\xe9nieur", "Ingenieur", "ingeniero"},
    {"financial", "financier", "Finanz", "financiero"},
    {"hotel", "h\xf4tel", "Hotel", "hotel"},
    {"job", "emploi", "Stelle", "empleo"},
    {"manager", "gestionnaire", "Leiter", "gerente"},
    {"mechanical", "m\xe9\x63\x61nique", "Maschinenbau", "mec\xe1nico"},
    {"network", "r\xe9seau", "Netzwerk", "red"},
    {"nurse", "infirmier", "Krankenschwester", "enfermera"},
    {"office", "bureau", "B\xfcro", "oficina"},
    {"pharmacist", "pharmacien", "Apotheker", "farmac\xe9utico"},
    {"programmer", "programmeur", "Programmierer", "programador"},
    {"project", "projet", "Projekt", "proyecto"},
    {"restaurant", "restaurant", "Restaurant", "restaurante"},
    {"sales", "vente", "Verkauf", "ventas"},
    {"secretary", "secr\xe9taire", "Sekret\xe4rin", "secretaria"},
    {"software", "logiciel", "Software", "software"},
    {"teacher", "enseignant", "Lehrer", "maestro"},
    {"technician", "technicien", "Techniker", "t\xe9\x63nico"},
    {"web", "web", "Web", "web"},
};

const char* Gloss(const TGloss& g, std::string_view lp) {
    if (lp == "en_fr") return g.fr;
    if (lp == "en_de") return g.de;
    if (lp == "en_sp") return g.sp;
    return nullptr;
}

// A word in the case of the original: all capitals stay capitals, a capital first
// letter stays.
std::string TranslateWord(const std::string& word, std::string_view lp) {
    const std::string lower = LowerCase(word);
    for (const TGloss& g : kGlossary) {
        if (lower != g.en) continue;
        const char* t = Gloss(g, lp);
        if (!t) return word;
        std::string out = t;
        if (word == UpperCase(word) && word.size() > 1) return UpperCase(out);
        if (!word.empty() && word[0] >= 'A' && word[0] <= 'Z') out[0] = UpperChar(out[0]);
        return out;
    }
    return word;
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The translation of a page: words outside tags go through the glossary.
std::string TranslateHtml(std::string_view html, std::string_view lp) {
    std::string out, word;
    bool inTag = false;
    auto flush = [&] {
        out += TranslateWord(word, lp);
        word.clear();
    };
    for (char c : html) {
        if (!inTag && IsWordChar(c)) {
            word += c;
            continue;
        }
        flush();
        if (c == '<') inTag = true;
        if (c == '>') inTag = false;
        out += c;
    }
    flush();
    return out;
}

TDemoResponse Text(std::string body, const std::string& type = "text/html") {
    TDemoResponse r;
    r.contentType = type;
    r.body = std::move(body);
    return r;
}

std::string Page(const std::string& title, const std::string& body) {
    return "<html>\r\n<head><title>" + title + "</title></head>\r\n<body>\r\n" + body +
           "</body>\r\n</html>\r\n";
}

// The sponsors of the demo banners, drawn in their colours.
struct TSponsor {
    const char* name;
    const char* text;
    uint32_t background, ink;
};

const TSponsor kSponsors[] = {
    {"resume", "RESUME PRO", 0x003366, 0xFFCC00},   {"relocate", "MOVE EASY", 0x660000, 0xFFFFFF},
    {"school", "NIGHT SCHOOL", 0x004400, 0xFFFF99}, {"career", "CAREER TIPS", 0x333333, 0x66CCFF},
    {"salary", "SALARY CHECK", 0x440066, 0xFFFFFF}, {"jobs98", "TESSALY 98", 0x000080, 0xFFFF00},
};

const TSponsor* SponsorOf(std::string_view name) {
    for (const TSponsor& s : kSponsors)
        if (name == s.name) return &s;
    return nullptr;
}

}  // namespace

std::string TranslationMarker(std::string_view lp) {
    if (lp == "en_fr") return "En Fran\xe7\x61is:";
    if (lp == "en_de") return "Auf Deutsch:";
    if (lp == "en_sp") return "En Espa\xf1ol:";
    return "";
}

std::string TranslateText(std::string_view text, std::string_view lp, const TJobCatalog& catalog) {
    if (lp == "en_fr")
        for (const TDemoJob& j : catalog.Jobs())
            if (SameText(Trim(text), j.Title)) return j.TitleFr;
    return TranslateHtml(text, lp);
}

bool TMakerSite::Serves(std::string_view path) {
    return StartsWith(path, "/update/") || StartsWith(path, "/cgi-bin/") ||
           StartsWith(path, "/banners/") || StartsWith(path, "/sponsor/") || path == "/about.html";
}

std::vector<TReferral> TMakerSite::Referrals() const {
    std::lock_guard<std::mutex> guard(lock_);
    return referrals_;
}

std::string TMakerSite::ConfigBoxText() const {
    return demo::ConfigBoxText(sites_.Base());
}

TDemoResponse TMakerSite::Handle(const TDemoRequest& r) const {
    const std::string& p = r.path;
    if (p == "/update/config.box") return Text(ConfigBoxText(), "text/plain");
    if (p == "/update/sources.def") {
        auto bytes = SourcesDefBytes(sites_);
        if (!bytes) return ErrorPage(500, "Internal Server Error", MarkupEscape(bytes.error()));
        return Text(bytes.value(), "application/octet-stream");
    }
    if (p == "/cgi-bin/referal.asp") return Referral(r);
    if (p == "/cgi-bin/translate") return Translate(r);
    if (StartsWith(p, "/banners/")) return Banner(p.substr(9), r);
    if (StartsWith(p, "/sponsor/")) {
        const TSponsor* s = SponsorOf(p.substr(9));
        if (!s) return ErrorPage(404, "Not Found", "No such sponsor.");
        return Text(
            Page(s->text, "<h1>" + MarkupEscape(s->text) +
                              "</h1>\r\n<p>A sponsor of the demo. Nothing to buy.</p>\r\n"));
    }
    if (p == "/about.html")
        return Text(Page("How the demo works",
                         "<h1>How the demo works</h1>\r\n<p>The job boards, the update server, the "
                         "translation service and the banners all run in tessaly-demo-sites on "
                         "this computer.</p>\r\n"));
    return ErrorPage(404, "Not Found", "There is no page " + MarkupEscape(p) + " here.");
}

TDemoResponse TMakerSite::Referral(const TDemoRequest& r) const {
    if (r.method != "POST")
        return ErrorPage(405, "Method Not Allowed", "The referral form is sent with POST.");
    TReferral ref;
    ref.recipient = r.Param("recipient");
    ref.email = r.Param("email");
    ref.realname = r.Param("realname");
    ref.edition = r.Param("edition");
    ref.jobtitle = r.Param("jobtitle");
    ref.jobcompany = r.Param("jobcompany");
    ref.joblocation = r.Param("joblocation");
    ref.jobsource = r.Param("jobsource");
    // The program writes "=" and "&" of the address as bytes 167 and 182.
    ref.joburl = ReplaceAll(ReplaceAll(r.Param("joburl"), "\xa7", "="), "\xb6", "&");
    const size_t at = ref.recipient.find('@');
    const bool plausible = at != std::string::npos && at > 0 &&
                           ref.recipient.find('.', at) != std::string::npos &&
                           ref.recipient.find_first_of(" ,;<>") == std::string::npos;
    if (!plausible)
        return Text(
            Page("Referral", "<p>Sorry, &quot;" + MarkupEscape(ref.recipient) +
                                 "&quot; is not an e-mail address we can write to.</p>\r\n"));
    {
        std::lock_guard<std::mutex> guard(lock_);
        referrals_.push_back(ref);
    }
    const std::string what = ref.jobtitle.empty() ? "Tessaly Jobs 98" : MarkupEscape(ref.jobtitle);
    return Text(Page("Referral", "<h1>Thank You</h1>\r\n<p>We told " + MarkupEscape(ref.recipient) +
                                     " about " + what + ". (The demo sends no mail.)</p>\r\n"));
}

TDemoResponse TMakerSite::Translate(const TDemoRequest& r) const {
    const std::string lp = r.Param("lp");
    const std::string text = r.Param("urltext");
    if (r.Param("doit") != "done" || lp.empty())
        return Text(Page("Translation", "<p>Please give a language pair and a text.</p>\r\n"));
    const std::string own = sites_.Base() + "/";
    if (StartsWith(text, "http://") || StartsWith(text, "https://")) {
        // A page to translate: the service fetches it itself; the demo's own pages are
        // taken without a network round trip.
        if (!StartsWith(text, own))
            return Text(Page("Translation", "<p>The page " + MarkupEscape(text) +
                                                " could not be reached.</p>\r\n"));
        auto inner = ParseRequestHead("GET /" + text.substr(own.size()) + " HTTP/1.0");
        if (!inner) return Text(Page("Translation", "<p>That address is not valid.</p>\r\n"));
        const TDemoResponse page = sites_.Handle(inner.value());
        if (page.status != 200)
            return Text(
                Page("Translation", "<p>The page answered " + IntToStr(page.status) + ".</p>\r\n"));
        return Text("<!-- translated " + MarkupEscape(lp) + " by the demo service -->\r\n" +
                    TranslateHtml(page.body, lp));
    }
    const std::string marker = TranslationMarker(lp);
    std::string b = "<p>Original text: " + MarkupEscape(text) + "</p>\r\n";
    if (!marker.empty())
        // The program takes the line after the marker and the helvetica font tag.
        b += marker + "<br>\r\n<font face=\"arial, helvetica\">" +
             TranslateText(text, lp, sites_.Catalog()) + "\r\n</font>\r\n";
    else
        b += "<p>This language pair is not offered.</p>\r\n";
    return Text(Page("Translation", b));
}

TDemoResponse TMakerSite::Banner(const std::string& rest, const TDemoRequest& r) const {
    if (EndsWith(rest, ".gif")) {
        const TSponsor* s = SponsorOf(rest.substr(0, rest.size() - 4));
        if (!s) return ErrorPage(404, "Not Found", "No such banner.");
        TDemoResponse a;
        a.contentType = "image/gif";
        a.body = DrawBanner(rest == "jobs98.gif" ? 468 : 120, rest == "jobs98.gif" ? 60 : 60,
                            s->background, s->ink, s->text, rest == "jobs98.gif");
        a.headers.push_back("Set-Cookie: ADSESSION=demo" + rest.substr(0, rest.size() - 4) +
                            "; path=/banners/");
        return a;
    }
    const std::string base = sites_.Base();
    if (rest == "page") {
        const TSponsor* s = SponsorOf(r.Param("ad"));
        if (!s) return ErrorPage(404, "Not Found", "No such banner.");
        return Text(Page("Banner", "<!-- banner --><a href=" + base + "/sponsor/" + s->name +
                                       " target=_blank><img src=\"" + base + "/banners/" + s->name +
                                       ".gif\" alt=\"" + MarkupEscape(s->text) +
                                       "\" border=0></a><!-- /banner -->\r\n"));
    }
    if (rest == "click") {
        const TSponsor* s = SponsorOf(r.Param("ad"));
        if (!s) return ErrorPage(404, "Not Found", "No such banner.");
        // The ad server counts the click (by its cookie) and sends the visitor on.
        TDemoResponse a;
        a.status = 302;
        a.reason = "Found";
        a.headers.push_back("Location: " + base + "/sponsor/" + s->name);
        a.body = Page("Moved", "<p>On to the sponsor.</p>\r\n");
        return a;
    }
    return ErrorPage(404, "Not Found", "No such banner.");
}

}  // namespace tessaly::demo
