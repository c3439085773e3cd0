// Turns a search into the first request for one job site, and a result page into the
// request for the site's next page.
//
// Every site wants its own codes, parameter names and joining of keywords; all of that
// comes from the site's template lines. A line holds at most one placeholder,
// "<" names ">", where names separated by "|" are "region", "category", "keyword",
// "userid", "city", "title" and "company". After the names may come ":" and a join
// separator (the items joined on one line) or "/" and an item number (only that item);
// without either, the line is repeated for every item.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/VelaSources.h"
#include "platform/ByteString.h"

namespace tessaly {

// What a request needs from a search: its region and category (names as in the master
// lists) and its keywords, as typed and translated (each may be empty).
struct TQuerySearch {
    std::string Region;
    std::string Category;
    std::string Keywords;
    std::string KeywordsEN;
    std::string KeywordsFR;
    std::string KeywordsDE;
    std::string KeywordsSP;
};

// The fields of an HTTP request that building writes (and its ID, which it reads).
struct TQueryRequest {
    int32_t ID = 0;
    std::string URL;
    std::string Parameters;
    bool IsPost = false;
};

// Fills the first request of `site` for `search`. Keywords and codes are sent in the
// site's Charset when it names one other than UTF-8. True when the request has a URL to
// fetch; false when the site cannot serve the search (a region or category without a
// code). The site's QueryID becomes the request's ID in any case.
bool BuildFirstRequest(TVelaSource& site, const TQuerySearch& search, TQueryRequest& request);

// Fills the request for the page after `page`, by the site's next-page link script or,
// for a site whose next page is a form, by submitting that form. True when there is a
// URL that is neither empty nor "?". The site's QueryID becomes the request's ID.
// The link (or the form's address) is read as job links are, by the page's charset
// (`header`: the received header lines, may be empty), its references decoded and, for
// a JSON feed, its escapes undone; it is sent in the page's charset. A relative link or
// action is completed against `pageAddress`, the address the page was fetched from; a
// link that leads back to that page itself is no next page.
bool BuildNextRequest(TVelaSource& site, std::string_view page, TQueryRequest& request,
                      std::string_view header = {}, std::string_view pageAddress = {});

// Any search and request type with the same field names (the saved search, the HTTP
// machine's query) goes through the functions above.
template <class TSearch>
TQuerySearch QuerySearchOf(const TSearch& s) {
    return {s.Region,     s.Category,   s.Keywords,  s.KeywordsEN,
            s.KeywordsFR, s.KeywordsDE, s.KeywordsSP};
}

template <class TSearch, class TQuery>
bool BuildFirstQuery(TVelaSource& site, const TSearch& search, TQuery& query) {
    TQueryRequest r;
    r.ID = query.ID;
    const bool ok = BuildFirstRequest(site, QuerySearchOf(search), r);
    query.URL = std::move(r.URL);
    query.Parameters = std::move(r.Parameters);
    query.IsPost = r.IsPost;
    return ok;
}

template <class TQuery>
bool BuildNextQuery(TVelaSource& site, std::string_view page, TQuery& query,
                    std::string_view header = {}, std::string_view pageAddress = {}) {
    TQueryRequest r;
    r.ID = query.ID;
    const bool ok = BuildNextRequest(site, page, r, header, pageAddress);
    query.URL = std::move(r.URL);
    query.Parameters = std::move(r.Parameters);
    query.IsPost = r.IsPost;
    return ok;
}

// The pieces, exposed for the tests and the workbench.
namespace query {

// The site's code for `name`: the entry of `codes` at the position of the last
// occurrence of `name` in `master`; "ignore" when the site has no codes at all; empty
// when the name is not in the master list or the site's list stops short of it.
std::string SiteCode(const TStrings& master, const TStrings& codes, std::string_view name);

// The keywords in the site's keyword language ("en", "fr", "de", "sp"), the keywords as
// typed when that translation is empty or the language is another one.
std::string SiteKeywords(std::string_view language, const TQuerySearch& search);

// Double blanks and double commas collapsed, commas trimmed from both ends.
std::string TidyValue(std::string value);

// Items of a value: each blank, "," and section sign (byte 167) ends one. An empty value
// is one empty item; two terminators in a row give an empty item between them.
TStrings SplitItems(std::string_view value);

// The codes one placeholder can draw on.
struct TPlaceholderInputs {
    std::string RegionCode;
    std::string CategoryCode;
    std::string Keywords;
    std::string UserID;
};

// The tidied value of a placeholder ("<" through ">").
std::string PlaceholderValue(std::string_view placeholder, const TPlaceholderInputs& in);

// The expansion of one template line split into prefix, placeholder and suffix, for the
// items of the placeholder's value.
std::string ExpandLine(std::string_view prefix, std::string_view placeholder,
                       std::string_view suffix, const TStrings& items);

}  // namespace query
}  // namespace tessaly
