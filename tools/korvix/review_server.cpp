#include "review_server.h"

#include <sys/random.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string_view>

#include <httplib.h>

#include "cli.h"
#include "korvix/decisions.h"

namespace korvix::cli {

// The page with its script and style, compiled in from review_page.html.
extern const std::string_view kReviewPage;

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";

// `text` as a JSON string literal; control characters, which no message
// or file name should carry, are left out.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) out += c;
  }
  return out + '"';
}

bool SameToken(std::string_view given, std::string_view token) {
  // Every character compared, so that the time taken tells nothing.
  if (given.size() != token.size()) return false;
  unsigned char differ = 0;
  for (std::size_t i = 0; i < token.size(); ++i) differ |= static_cast<unsigned char>(given[i] ^ token[i]);
  return differ == 0;
}

std::uint32_t Number(const httplib::Request& req, const char* name) {
  const std::string text = req.get_param_value(name);
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 10);
  return text.empty() || *end != '\0' || value > 0xFFFFFFFFul ? 0 : static_cast<std::uint32_t>(value);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A file name for a download: the input's, cut to characters that need no
// quoting in a header.
std::string DownloadName(std::string_view prefix, const std::string& name, std::string_view extension) {
  std::string stem = std::filesystem::path(name).stem().string();
  for (char& c : stem) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
  }
  return std::string(prefix) + stem + std::string(extension);
}

}  // namespace

std::string NewToken() {
  unsigned char bytes[32];
  std::size_t have = 0;
  while (have < sizeof bytes) {
    const ssize_t got = getrandom(bytes + have, sizeof bytes - have, 0);
    if (got < 0) throw IoError("no random bytes for the page's token");
    have += static_cast<std::size_t>(got);
  }
  std::string token;
  char hex[3];
  for (const unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "%02x", b);
    token += hex;
  }
  return token;
}

void ServeReview(Review& review, const ReviewServerOptions& options) {
  httplib::Server server;
  // Small answers go out at once, not after the peer's delayed ACK.
  server.set_tcp_nodelay(true);
  const std::string token = NewToken();
  std::mutex lock;  // one request at a time touches the review
  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
  } else if (!server.bind_to_port("127.0.0.1", port)) {
    port = -1;
  }
  if (port < 0) throw IoError("cannot listen on 127.0.0.1" + (options.port ? ":" + std::to_string(options.port) : ""));
  const std::string hosts[] = {"127.0.0.1:" + std::to_string(port), "localhost:" + std::to_string(port)};
  const std::string origins[] = {"http://" + hosts[0], "http://" + hosts[1]};

  server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
    const std::string host = req.get_header_value("Host");
    const std::string origin = req.get_header_value("Origin");
    const bool host_ok = host == hosts[0] || host == hosts[1];
    const bool origin_ok = origin.empty() || origin == origins[0] || origin == origins[1];
    // The page and the downloads are opened as addresses; everything else
    // is asked by the page's script, which sends the header.
    const bool address = req.method == "GET" && (req.path == "/" || req.path.starts_with("/download/"));
    const bool token_ok = SameToken(req.get_header_value("X-Korvix-Token"), token) ||
                          (address && SameToken(req.get_param_value("token"), token));
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    if (host_ok && origin_ok && token_ok) return httplib::Server::HandlerResponse::Unhandled;
    res.status = 403;
    res.set_content("forbidden\n", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });

  server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
    // Only the page's own script and style run; nothing is fetched
    // elsewhere, and no other site may frame it.
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                   "connect-src 'self'; img-src data:; base-uri 'none'; form-action 'none'; "
                   "frame-ancestors 'none'");
    res.set_content(std::string(kReviewPage), "text/html; charset=utf-8");
  });

  server.Get("/api/info", [&](const httplib::Request&, httplib::Response& res) {
    const std::string json = "{\"file\": " + JsonString(options.name) + ", \"language\": " +
                             JsonString(options.language) + "}";
    res.set_content(json, kJson);
  });

  server.Get("/api/groups", [&](const httplib::Request& req, httplib::Response& res) {
    const ReviewOrder order = req.get_param_value("order") == "uncertain" ? ReviewOrder::kLeastCertain
                                                                          : ReviewOrder::kLargest;
    const std::lock_guard<std::mutex> hold(lock);
    res.set_content(review.GroupsJson(Number(req, "first"), std::min<std::uint32_t>(Number(req, "count"), 500), order),
                    kJson);
  });

  server.Post("/api/decide", [&](const httplib::Request& req, httplib::Response& res) {
    const std::lock_guard<std::mutex> hold(lock);
    const auto start = std::chrono::steady_clock::now();
    try {
      const DecisionKind kind = ReadDecisionKind(req.get_param_value("kind"));
      if (kind == DecisionKind::kValue) {
        review.ChooseValue(Number(req, "a"), req.get_param_value("field"), options.who);
      } else {
        review.Decide(kind, Number(req, "a"), Number(req, "b"), options.who);
      }
    } catch (const Error& e) {
      if (e.code() != ErrorCode::kInvalidArgument) throw;
      res.status = 400;
      res.set_content("{\"error\": " + JsonString(e.what()) + "}", kJson);
      return;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    res.set_content("{\"stored\": true, \"ms\": " + std::to_string(ms) + "}", kJson);
  });

  server.Post("/api/rerun", [&](const httplib::Request&, httplib::Response& res) {
    const std::lock_guard<std::mutex> hold(lock);
    review.Rerun();
    res.set_content("{\"total\": " + std::to_string(review.groups()) + "}", kJson);
  });

  // The clean file and the mapping, each written by the job.
  server.Get(R"(/download/(clean|mapping))", [&](const httplib::Request& req, httplib::Response& res) {
    const std::lock_guard<std::mutex> hold(lock);
    std::string folder = (std::filesystem::temp_directory_path() / "korvix-review-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) throw IoError("cannot make a temporary folder in " + folder);
    const std::filesystem::path dir(folder);
    const bool clean = req.matches[1] == "clean";
    try {
      review.WriteClean((dir / "clean").string(), (dir / "mapping").string(), req.get_param_value("fill") == "1");
      const std::string extension = std::filesystem::path(options.name).extension().string() == ".csv" ? ".csv" : ".txt";
      res.set_header("Content-Disposition",
                     "attachment; filename=\"" +
                         (clean ? DownloadName("bereinigt-", options.name, extension)
                                : DownloadName("zuordnung-", options.name, ".csv")) + "\"");
      // The clean file keeps the input's encoding, which may be Windows-1252;
      // the mapping is UTF-8.
      res.set_content(ReadFile(dir / (clean ? "clean" : "mapping")),
                      clean ? "application/octet-stream" : "text/csv; charset=utf-8");
    } catch (...) {
      std::filesystem::remove_all(dir);
      throw;
    }
    std::filesystem::remove_all(dir);
  });

  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr e) {
    std::string what = "failed";
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& error) {
      what = error.what();
    }
    res.status = 500;
    res.set_content("{\"error\": " + JsonString(what) + "}", kJson);
  });

  if (options.listening) options.listening("http://127.0.0.1:" + std::to_string(port) + "/?token=" + token);
  server.listen_after_bind();
}

}  // namespace korvix::cli
