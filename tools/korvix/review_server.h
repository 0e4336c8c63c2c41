// The review page's server: the page and its JSON API on the loopback
// interface, for the one browser that holds the token.
//
// Every request must carry the token (the header X-Korvix-Token, or the
// query parameter token for the page and the downloads, which a browser
// opens as addresses) and a Host of 127.0.0.1:PORT or localhost:PORT, so
// that a page of another site that rebinds its name to 127.0.0.1 is
// refused; a request that changes anything must be a POST with the token
// in the header and, when the browser sends an Origin, this server's own.
// A page of another origin can neither read the token nor set the header
// without a preflight that is never granted, so no cross-site request
// changes a decision.
#ifndef KORVIX_TOOLS_REVIEW_SERVER_H_
#define KORVIX_TOOLS_REVIEW_SERVER_H_

#include <functional>
#include <string>

#include "korvix/review.h"

namespace korvix::cli {

struct ReviewServerOptions {
  int port = 0;           // 0: a free one
  std::string name;       // the file's name, for the page's title
  std::string language;   // "de" or "en", the page's first language
  std::string who;        // who takes the decisions
  // Told the page's address (with the token) once the server listens.
  std::function<void(const std::string& address)> listening;
};

// Serves `review` until the process ends. Throws IoError when no port can
// be bound.
void ServeReview(Review& review, const ReviewServerOptions& options);

// 32 random bytes from the kernel as 64 hexadecimal digits.
std::string NewToken();

}  // namespace korvix::cli

#endif  // KORVIX_TOOLS_REVIEW_SERVER_H_
