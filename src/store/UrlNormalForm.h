// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Two keys of a web address that tell duplicates apart from distinct pages.
//
// The normal form (SameUrlKey) changes only what cannot change the page a server sends: scheme
// and host in lower case (an international host in its ASCII form), no default port, an empty
// path as "/", escapes of unreserved bytes decoded and the others in upper case, no empty query
// or fragment, and no campaign parameters (utm_*, mc_*, fbclid, gclid). Two bookmarks with the
// same normal form are the same bookmark.
//
// The loose form (LikelyUrlKey) goes further, past what a server must treat alike but nearly
// always does: no "www.", http and https alike, no trailing slash, and no fragment unless it is
// a route of a page application ("#/..." or "#!..."). Equal loose forms are likely the same.
//
// Addresses that are not http or https keep everything but the case of their scheme; text
// that is not an address at all comes back as it is (trimmed). Neither function ever fails.

#include <string>
#include <string_view>

namespace brindle {

// Writes the key into `out` (its old contents are replaced): a loop over many addresses reuses
// one buffer.
void SameUrlKey(std::string_view url, std::string& out);
void LikelyUrlKey(std::string_view url, std::string& out);

std::string SameUrlKey(std::string_view url);
std::string LikelyUrlKey(std::string_view url);

} // namespace brindle
