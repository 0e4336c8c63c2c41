// The HTML report: one page for reviewing the groups, with what sets each
// record apart from the first of its group marked.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "dedupe/core/printable.h"
#include "dedupe/report/report.h"
#include "dedupe/report/report_diff.h"

namespace korvix::dedupe {

namespace {

// Everything the page needs is in it: it is opened from a mail or a share,
// often without a network.
constexpr std::string_view kStyle =
    "<style>\n"
    "body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#222}\n"
    "h1{font-size:1.3em}h2{font-size:1em;margin:1.4em 0 .3em}\n"
    "table{border-collapse:collapse}\n"
    "th,td{text-align:left;padding:.15em .6em;border-bottom:1px solid #ddd;vertical-align:top}\n"
    "th{font-weight:600;color:#555}\n"
    "td.r{font-family:ui-monospace,monospace;white-space:pre-wrap}\n"
    "mark{background:#ffd54f}del{background:#ffcdd2;color:#b71c1c}\n"
    ".summary,.note{margin-top:1.5em;color:#555}\n"
    "</style>\n";

void AppendEscaped(char32_t c, std::string* out) {
  switch (c) {
    case U'&': *out += "&amp;"; break;
    case U'<': *out += "&lt;"; break;
    case U'>': *out += "&gt;"; break;
    case U'"': *out += "&quot;"; break;
    case U'\'': *out += "&#39;"; break;
    default: text::AppendUtf8(c, out);
  }
}

// Appends valid UTF-8 `text` as HTML text or attribute value.
void AppendEscaped(std::string_view text, std::string* out) {
  for (std::size_t i = 0; i < text.size();) {
    const text::Character c = text::DecodeCharacter(text, i);
    AppendEscaped(c.code, out);
    i += c.length;
  }
}

class Page {
 public:
  Page(const ReportInput& in, ReportFile* out) : in_(in), out_(out), id_(in.id, in.input.csv) {}

  void Head() {
    s_ = "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n<title>korvix dedupe: ";
    // The file's name without its folders, which mean nothing to whoever
    // the page is sent to.
    const std::string_view name = in_.input.name;
    AppendReadable(name.substr(name.rfind('/') + 1), &text_);
    AppendEscaped(text_, &s_);
    s_ += "</title>\n";
    s_ += kStyle;
    s_ += "</head>\n<body>\n<h1>Duplicates in ";
    AppendEscaped(text_, &s_);
    s_ += "</h1>\n<ol class=\"algorithms\">\n";
    for (const DedupeAlgorithm& a : in_.algorithms) {
      s_ += "<li>";
      Escaped(a.name);
      s_ += " <code>";
      Escaped(a.code);
      s_ += "</code></li>\n";
    }
    s_ += "</ol>\n";
    Flush();
  }

  // Opens a group's section and table: "TITLE (N records)".
  void OpenGroup(std::string_view title, std::size_t records, bool links) {
    s_ += "<section class=\"group\">\n<h2>";
    s_ += title;
    s_ += " (";
    AppendNumber(records, &s_);
    s_ += " records)</h2>\n<table>\n<tr><th>line</th>";
    if (!in_.id.empty()) s_ += "<th>id</th>";
    s_ += "<th>record</th>";
    if (links) s_ += "<th>algorithm</th><th>key</th>";
    if (links && in_.verified) s_ += "<th>score</th><th>why</th>";
    s_ += "</tr>\n";
    first_row_ = true;
    links_ = links;
  }

  // One row: the line (after `prefix`), the id, the record string marked
  // against the group's first row, and what linked it when `link` is set.
  void Row(std::string_view prefix, std::uint64_t line, std::string_view id, std::string_view record,
           const DedupePair* link, std::string_view key) {
    s_ += "<tr><td>";
    s_ += prefix;
    AppendNumber(line, &s_);
    if (!in_.id.empty()) {
      s_ += "</td><td>";
      AppendEscaped(id, &s_);
    }
    s_ += "</td><td class=\"r\">";
    Marked(record);
    if (link != nullptr) {
      s_ += "</td><td>";
      if (link->decided) {
        s_ += "decision: same</td><td>";
      } else {
        AppendNumber(static_cast<std::uint64_t>(link->algorithm), &s_);
        s_ += "</td><td>";
        Escaped(key);
      }
      if (in_.verified) {
        s_ += "</td><td>";
        AppendScore(link->score, &s_);
        s_ += "</td><td class=\"why\">";
        if (link->score > 0) Why(*link);
      }
    } else if (links_) {
      s_ += in_.verified ? "</td><td></td><td></td><td></td><td>" : "</td><td></td><td>";
    }
    s_ += "</td></tr>\n";
    Flush();
  }

  void CloseGroup() { s_ += "</table>\n</section>\n"; }

  // The links refused: which records were kept out of a group, and why.
  void KeptApart(const std::vector<dedupe::KeptApart>& apart) {
    if (apart.empty()) return;
    s_ += "<section class=\"apart\">\n<h2>kept apart</h2>\n<ul>\n";
    for (const dedupe::KeptApart& k : apart) {
      s_ += "<li>record ";
      AppendNumber(k.a + 1u, &s_);
      s_ += ": ";
      Escaped(KeptApartNote(k, k.b));
      s_ += "</li>\n";
      Flush();
    }
    s_ += "</ul>\n</section>\n";
  }

  // The parts of a link's score that are below 1, the reason it is not 1.
  void Why(const DedupePair& link) {
    const std::pair<const char*, float> parts[] = {
        {"kind", link.kind}, {"name", link.name}, {"first name", link.first_name}, {"street", link.street},
        {"house number", link.house_number}, {"PLZ", link.plz}, {"town", link.town}};
    bool any = false;
    for (const auto& [name, value] : parts) {
      if (value >= 1) continue;
      s_ += any ? ", " : "";
      s_ += name;
      s_ += ' ';
      AppendScore(value, &s_);
      any = true;
    }
    if (!any) s_ += "every part 1";
  }

  // The note on what was left out (none when empty), the summary, the end.
  void Foot(std::string_view note) {
    if (!note.empty()) {
      s_ += "<p class=\"note\">";
      s_ += note;
      s_ += "</p>\n";
    }
    s_ += "<p class=\"summary\">";
    Escaped(SummaryLine(in_.Summary()));
    s_ += "</p>\n</body>\n</html>\n";
    Flush();
  }

  IdColumn& id() { return id_; }

 private:
  void Escaped(std::string_view bytes) {
    text_.clear();
    AppendReadable(bytes, &text_);
    AppendEscaped(text_, &s_);
  }

  // The first row of a group is shown as it is; the others with runs of
  // their own characters that differ in <mark>, and runs of the first's that
  // they lack in <del>.
  void Marked(std::string_view record) {
    if (first_row_) {
      DecodeUtf8(record, &first_);
      AppendEscaped(record, &s_);
      first_row_ = false;
      return;
    }
    DecodeUtf8(record, &other_);
    std::string_view open;  // the element the last character went into
    ForEachMarked(diff_, first_, other_, [&](Mark mark, char32_t c) {
      const std::string_view tag = mark == Mark::kSame ? "" : mark == Mark::kLacking ? "del" : "mark";
      if (tag != open) {
        Tag(open, true);
        Tag(tag, false);
        open = tag;
      }
      AppendEscaped(c, &s_);
    });
    Tag(open, true);
  }

  void Tag(std::string_view name, bool close) {
    if (name.empty()) return;
    s_ += close ? "</" : "<";
    s_ += name;
    s_ += '>';
  }

  void Flush() {
    out_->Write(s_);
    s_.clear();
  }

  const ReportInput& in_;
  ReportFile* out_;
  IdColumn id_;
  CharDiff diff_;
  std::u32string first_, other_;
  bool first_row_ = true;
  bool links_ = false;  // the group's table has the columns of the link
  std::string s_, text_;
};

std::string LeftOut(std::size_t records, std::size_t groups) {
  return "The page ends here, to stay readable: records not shown " + std::to_string(records) +
         ", groups not shown in full " + std::to_string(groups) +
         "; the text, CSV and JSON reports have every record.";
}

void WriteGroups(const ReportInput& in, std::size_t max_records, Page* page) {
  const Links& links = in.links;
  const std::size_t shown = std::min(max_records, links.members.size());
  GroupCursor group(links);
  std::string scratch, title, text;
  in.input.reader.SetKeyChoice(links.algorithm);
  in.input.reader.ForEachInOrder(
      std::span(links.members).first(shown), in.budget, [&](const RecordReader::Visited& v) {
        if (group.StartsAt(v.position)) {
          title.assign(in.by_key() ? "key " : "group ");
          if (in.by_key()) {
            text.clear();
            AppendReadable(v.key, &text);
            AppendEscaped(text, &title);
          } else {
            AppendNumber(group.number(), &title);
          }
          page->OpenGroup(title, group.size(), !in.by_key());
        }
        const std::string_view id = page->id().Of(v.bytes, true);
        text.clear();
        AppendReadable(in.input.source.RecordString(v.bytes, &scratch), &text);
        DedupePair link{0, 0, links.algorithm[v.record], in.verified ? links.score[v.record] : 0.0};
        if (in.verified && links.best[v.record] != Links::kNoPair) {
          link = links.pairs[links.best[v.record]];
          link.algorithm = links.algorithm[v.record];
        }
        link.decided = !links.decided.empty() && links.decided[v.record];
        page->Row("", v.line, id, text, in.by_key() ? nullptr : &link, v.key);
        if (group.EndsAt(v.position) || v.position + 1 == shown) {
          page->CloseGroup();
          group.Next();
        }
      });
  // Groups not shown in full, the last one listed perhaps in part.
  const std::size_t whole = static_cast<std::size_t>(
      std::upper_bound(links.group_ends.begin(), links.group_ends.end(), shown) - links.group_ends.begin());
  const std::size_t left = links.members.size() - shown;
  page->KeptApart(links.apart);
  page->Foot(left > 0 ? LeftOut(left, links.group_ends.size() - whole) : "");
}

void WriteMatches(const ReportInput& in, std::size_t max_records, Page* page) {
  const std::unordered_map<std::uint32_t, BaseRecord> base = BaseRecords(in, true);
  const BigVector<DedupePair>& pairs = in.links.pairs;
  std::vector<std::uint32_t> matched = MatchedRecords(in);
  // Whole matches, each its input record and its base records, up to the
  // limit.
  std::size_t shown = 0, rows = 0;
  for (std::size_t p = 0; shown < matched.size(); ++shown) {
    std::size_t n = 1;
    for (; p < pairs.size() && pairs[p].a == matched[shown]; ++p) ++n;
    if (rows + n > max_records) break;
    rows += n;
  }
  const std::size_t left_rows = matched.size() + pairs.size() - rows;
  const std::size_t left_groups = matched.size() - shown;
  matched.resize(shown);
  std::size_t p = 0;
  std::string scratch, title, text;
  in.input.reader.SetKeyChoice({});
  in.input.reader.ForEach(matched, [&](const RecordReader::Visited& v) {
    std::size_t end = p;
    while (end < pairs.size() && pairs[end].a == v.record) ++end;
    title.assign("line ");
    AppendNumber(v.line, &title);
    page->OpenGroup(title, end - p + 1, true);
    const std::string_view id = page->id().Of(v.bytes, true);
    text.clear();
    AppendReadable(in.input.source.RecordString(v.bytes, &scratch), &text);
    page->Row("", v.line, id, text, nullptr, "");
    for (; p < end; ++p) {
      const BaseRecord& b = base.at(pairs[p].b);
      page->Row("base ", b.line, b.id, b.text, &pairs[p],
                in.input.table.key(std::max(pairs[p].algorithm, 1) - 1, v.record));
    }
    page->CloseGroup();
  });
  page->Foot(left_groups > 0 ? LeftOut(left_rows, left_groups) : "");
}

}  // namespace

void WriteHtmlReport(const ReportInput& in, std::size_t max_records, ReportFile* out) {
  Page page(in, out);
  page.Head();
  if (in.base != nullptr) {
    WriteMatches(in, max_records, &page);
  } else {
    WriteGroups(in, max_records, &page);
  }
}

}  // namespace korvix::dedupe
