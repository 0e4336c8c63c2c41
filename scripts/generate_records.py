#!/usr/bin/env python3
"""Synthetic German customer records with planted near-duplicates.

Writes address records either as record strings (the nine values
PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|Bez4|Kundengruppe, one record a line)
or as RFC 4180 CSV with a header row. The same --seed and --count give the same
records in both formats, so a CSV reader can be checked against the record
strings line by line.

A share of the records (--dup-rate) are variants of an earlier record, the kind
of duplicates a good key algorithm should catch: Meier/Mayer/Meyer/Maier,
Müller/Mueller/Miller, Schmidt/Schmitt/Schmid, Bäcker/Baecker/Becker,
Hoffmann/Hofmann; Straße/Strasse/Str./str.; changed case; extra blanks;
company suffixes GmbH/KG/& Söhne swapped or dropped.

CSV only: some Bez3 values hold a line break. In the record-string format each
line break becomes one blank, the form a CSV reader's record string takes too.
No value ever holds "|".

Memory stays constant for any --count: records are streamed, and the pool of
originals that duplicates are drawn from is a fixed-size random sample.
"""

import argparse
import random
import sys

FIELDS = ("PLZ", "Ort", "Straße", "Suchbegriff", "Bez1", "Bez2", "Bez3", "Bez4",
          "Kundengruppe")
DEFAULT_HEADER = ("PLZ", "Ort", "Strasse", "Suchbegriff", "Name1", "Name2", "Name3",
                  "Name4", "Kundengruppe")

# (town, lowest PLZ, highest PLZ)
TOWNS = (
    ("Berlin", 10115, 14199), ("Hamburg", 20095, 22769), ("München", 80331, 81929),
    ("Köln", 50667, 51149), ("Frankfurt am Main", 60306, 60599), ("Stuttgart", 70173, 70629),
    ("Düsseldorf", 40210, 40629), ("Dortmund", 44135, 44388), ("Essen", 45127, 45359),
    ("Leipzig", 4103, 4357), ("Bremen", 28195, 28779), ("Dresden", 1067, 1328),
    ("Hannover", 30159, 30669), ("Nürnberg", 90402, 90491), ("Duisburg", 47051, 47279),
    ("Bochum", 44787, 44894), ("Wuppertal", 42103, 42399), ("Bielefeld", 33602, 33739),
    ("Bonn", 53111, 53229), ("Münster", 48143, 48167), ("Mannheim", 68159, 68309),
    ("Karlsruhe", 76131, 76229), ("Augsburg", 86150, 86199), ("Wiesbaden", 65183, 65207),
    ("Aachen", 52062, 52080), ("Braunschweig", 38100, 38126), ("Kiel", 24103, 24159),
    ("Chemnitz", 9111, 9247), ("Halle (Saale)", 6108, 6132), ("Magdeburg", 39104, 39130),
    ("Freiburg im Breisgau", 79098, 79117), ("Lübeck", 23552, 23570), ("Erfurt", 99084, 99099),
    ("Mainz", 55116, 55131), ("Rostock", 18055, 18147), ("Kassel", 34117, 34134),
    ("Saarbrücken", 66111, 66133), ("Potsdam", 14467, 14482), ("Würzburg", 97070, 97084),
    ("Regensburg", 93047, 93059), ("Göttingen", 37073, 37085),
    ("Bad Homburg v. d. Höhe", 61348, 61352), ("Neustadt an der Weinstraße", 67433, 67435),
    ("Garmisch-Partenkirchen", 82467, 82467), ("Weißenfels", 6667, 6667),
)

# Streets whose last word is Straße: the stem either joins it or stands apart.
STREET_STEMS_JOINED = ("Haupt", "Bahnhof", "Garten", "Schul", "Dorf", "Kirch", "Berg",
                       "Wald", "Linden", "Goethe", "Schiller", "Mozart", "Beethoven",
                       "Wiesen", "Friedrich-Ebert-", "Rosen", "Industrie", "Post", "Mühlen",
                       "Feld", "Schloss", "Kant", "Blumen", "Sonnen", "Tal")
STREET_STEMS_APART = ("Berliner", "Lange", "Hamburger", "Neue", "Alte", "Kölner",
                      "Münchner", "Breite", "Frankfurter", "Hohe")
STREETS_OTHER = ("Am Markt", "Lindenweg", "Rosenweg", "Marktplatz", "Schillerallee",
                 "Kirchgasse", "Am Stadtpark", "Im Winkel", "Auf dem Berg", "Am Strand",
                 "Ringweg", "Mühlenweg", "Birkenallee", "An der Kirche", "Hafenkai")
STREET_WORDS = ("Straße", "Strasse", "Str.", "str.")

# Spellings that sound alike; a planted duplicate may swap one for another.
NAME_GROUPS = (
    ("Meier", "Mayer", "Meyer", "Maier"),
    ("Müller", "Mueller", "Miller"),
    ("Schmidt", "Schmitt", "Schmid"),
    ("Bäcker", "Baecker", "Becker"),
    ("Hoffmann", "Hofmann"),
    ("Fischer",),
)
NAME_GROUP_OF = {name: group for group in NAME_GROUPS for name in group}
OTHER_NAMES = ("Schulz", "Wagner", "Koch", "Richter", "Klein", "Wolf", "Schröder", "Neumann",
               "Schwarz", "Zimmermann", "Braun", "Krüger", "Hartmann", "Lange", "Werner",
               "Krause", "Lehmann", "Köhler", "Weiß", "Jung", "Hahn", "Vogel", "Keller",
               "Günther", "Frank", "Berger", "Winkler", "Roth", "Beck", "Lorenz", "Baumann",
               "Franke", "Albrecht", "Schuster", "Simon", "Ludwig", "Böhm", "Winter", "Kraus",
               "Schumacher", "Krämer", "Vogt", "Stein", "Jäger", "Otto", "Sommer", "Groß",
               "Seidel", "Brandt", "Haas", "Schreiber", "Graf", "Schulte", "Dietrich",
               "Ziegler", "Kuhn", "Kühn", "Pohl", "Engel", "Horn", "Busch", "Bergmann",
               "Voigt", "Sauer", "Arnold", "Pfeiffer", "Strauß", "Öztürk", "Nowak")
FIRST_NAMES = ("Hans", "Peter", "Klaus", "Jürgen", "Wolfgang", "Michael", "Thomas", "Andreas",
               "Stefan", "Frank", "Uwe", "Sabine", "Petra", "Monika", "Ursula", "Claudia",
               "Andrea", "Birgit", "Karin", "Susanne", "Anna", "Lena", "Lukas", "Jonas",
               "Leon", "Marie", "Sophie", "Jörg", "Günter", "Gisela", "Renate", "Björn",
               "Hans-Peter", "Karl-Heinz", "Anne-Marie", "Ömer", "Zoë")
DEPARTMENTS = ("Einkauf", "Buchhaltung", "Verwaltung", "Vertrieb", "Geschäftsleitung",
               "Lager", "Personalabteilung", "Kundendienst")
TRADES = ("Autohaus", "Bäckerei", "Elektro", "Sanitär", "Malerbetrieb", "Metzgerei",
          "Dachdeckerei", "Zimmerei", "Getränke", "Reisebüro")
SUFFIXES = ("GmbH", "KG", "& Söhne", "GmbH & Co. KG")
SUFFIX_VARIANTS = {
    "GmbH": ("", "KG", "GmbH & Co. KG", "G.m.b.H."),
    "KG": ("", "GmbH & Co. KG", "GmbH"),
    "& Söhne": ("", "& Soehne", "und Söhne", "u. Söhne"),
    "GmbH & Co. KG": ("", "GmbH", "KG"),
}
# Kundengruppe codes, common ones repeated for weight.
GROUPS = ("A", "A", "A", "B", "B", "B", "C", "C", "H", "P", "GK", "EH", "VIP")
# Bez3 values with the characters that make CSV quote a field; the line
# breaks appear in CSV only (a blank in record strings).
BEZ3_TRICKY = ('Eingang "Hof"', "Lager; Tor 3", "Anlieferung: Mo, Mi, Fr",
               'Tor "Süd"; Rampe 2', "Lieferanschrift:\nTor 2", "2. OG\r\nZimmer 214",
               "Lager 3,\nHalle B")


def upper_de(text):
    """Upper case as the key engine does it: ß has no capital and stays."""
    if "ß" not in text:
        return text.upper()
    return "ß".join(part.upper() for part in text.split("ß"))


def record_text(value):
    """A value as it stands in a record string: each line break one blank."""
    if "\n" not in value and "\r" not in value:
        return value
    return value.replace("\r\n", " ").replace("\r", " ").replace("\n", " ")


class Maker:
    """Draws base records and their variants from one random stream."""

    def __init__(self, rng):
        self.rng = rng

    def street(self):
        r = self.rng
        roll = r.random()
        number = str(r.randint(1, 180))
        if r.random() < 0.08:
            number += r.choice("abc")
        elif r.random() < 0.03:
            number += "-" + str(int(number) + 2)
        if roll < 0.8:
            word = "Straße" if r.random() < 0.85 else r.choice(("Strasse", "Str."))
            if roll < 0.55:
                stem = r.choice(STREET_STEMS_JOINED)
                # After a hyphen the word keeps its capital: Friedrich-Ebert-Straße.
                return stem + (word if stem.endswith("-") else word.lower()), number
            return r.choice(STREET_STEMS_APART) + " " + word, number
        return r.choice(STREETS_OTHER), number

    def base(self):
        r = self.rng
        town, low, high = r.choice(TOWNS)
        plz = "%05d" % r.randint(low, high)
        street, number = self.street()
        strasse = street + " " + number
        if r.random() < 0.45:
            last = r.choice(r.choice(NAME_GROUPS))
        else:
            last = r.choice(OTHER_NAMES)
        bez3 = ""
        bez4 = ""
        if r.random() < 0.7:
            bez1 = last
            bez2 = r.choice(FIRST_NAMES)
            roll = r.random()
            if roll < 0.05:
                bez3 = "c/o " + r.choice(OTHER_NAMES)
            elif roll < 0.09:
                bez3 = r.choice(("Hinterhaus", "2. OG", "Seitenflügel", "Apartment 4"))
        else:
            roll = r.random()
            if roll < 0.5:
                bez1 = last + " " + r.choice(SUFFIXES)
            elif roll < 0.8:
                bez1 = r.choice(TRADES) + " " + last + (" " + r.choice(SUFFIXES)
                                                        if r.random() < 0.5 else "")
            elif roll < 0.9:
                bez1 = last + ", " + r.choice(OTHER_NAMES) + " & Partner"
            else:
                inn = r.choice(("Post", "Linde", "Krone", "Sonne"))
                bez1 = 'Gasthof "Zur ' + inn + '"'
                last = "Zur " + inn
            bez2 = r.choice(DEPARTMENTS) if r.random() < 0.6 else ""
            roll = r.random()
            if roll < 0.12:
                bez3 = "z. Hd. " + r.choice(("Herrn ", "Frau ")) + r.choice(OTHER_NAMES)
            elif roll < 0.2:
                bez3 = r.choice(BEZ3_TRICKY)
            if r.random() < 0.15:
                bez4 = "Postfach %d %02d" % (r.randint(10, 99), r.randint(0, 99))
        if r.random() < 0.04:
            bez4 = "Kd.-Nr. %d" % r.randint(1000, 99999)
        such = upper_de(last)
        return [plz, town, strasse, such, bez1, bez2, bez3, bez4, r.choice(GROUPS)]

    # Each mutation returns True when it changed the record.

    def vary_name(self, rec):
        for group in NAME_GROUPS:
            for name in group:
                if name in rec[4] and len(group) > 1:
                    other = self.rng.choice([n for n in group if n != name])
                    rec[4] = rec[4].replace(name, other, 1)
                    if self.rng.random() < 0.7:
                        rec[3] = upper_de(other)
                    return True
        return False

    def vary_street(self, rec):
        value = rec[2]
        for word in STREET_WORDS:
            for cased in (word, word.lower()):
                pos = value.find(cased)
                if pos < 0:
                    continue
                other = self.rng.choice([w for w in STREET_WORDS if w.lower() != cased.lower()])
                if pos > 0 and value[pos - 1].isalpha():
                    other = other.lower()  # joined to its stem: Hauptstr.
                rec[2] = value[:pos] + other + value[pos + len(cased):]
                return True
        return False

    def vary_case(self, rec):
        i = self.rng.choice((1, 2, 4, 5))
        old = rec[i]
        rec[i] = upper_de(old) if self.rng.random() < 0.6 else old.lower()
        return rec[i] != old

    def vary_blanks(self, rec):
        i = self.rng.choice((1, 2, 4, 5))
        old = rec[i]
        if not old:
            return False
        roll = self.rng.random()
        if roll < 0.5 and " " in old:
            rec[i] = old.replace(" ", "  ", 1)
        elif roll < 0.75:
            rec[i] = old + " "
        else:
            rec[i] = " " + old
        return True

    def vary_suffix(self, rec):
        value = rec[4]
        for suffix in sorted(SUFFIX_VARIANTS, key=len, reverse=True):
            if value.endswith(" " + suffix):
                other = self.rng.choice(SUFFIX_VARIANTS[suffix])
                stem = value[:-len(suffix) - 1]
                rec[4] = stem + (" " + other if other else "")
                return True
        return False

    def variant(self, original):
        rec = list(original)
        mutations = [self.vary_name, self.vary_street, self.vary_case, self.vary_blanks,
                     self.vary_suffix]
        changed = False
        for _ in range(self.rng.randint(1, 3)):
            changed = self.rng.choice(mutations)(rec) or changed
        if not changed:
            changed = self.vary_name(rec) or self.vary_street(rec) or self.vary_blanks(rec)
        return rec


def csv_field(value, delimiter):
    if '"' in value:
        return '"' + value.replace('"', '""') + '"'
    if delimiter in value or "\n" in value or "\r" in value:
        return '"' + value + '"'
    return value


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--count", type=int, default=5000, help="number of records (default 5000)")
    p.add_argument("--format", choices=("records", "csv"), default="records",
                   help="record strings, one per line, or CSV with a header (default records)")
    p.add_argument("--delimiter", default=";", help="CSV delimiter: ';' (default), ',' or 'tab'")
    p.add_argument("--csv-header", default=None,
                   help="the nine CSV column names, separated by ',' or ';' "
                        "(default %s)" % ";".join(DEFAULT_HEADER))
    p.add_argument("--line-end", choices=("crlf", "lf"), default="crlf",
                   help="CSV record end (default crlf); record strings always end in LF")
    p.add_argument("--dup-rate", type=float, default=0.15,
                   help="fraction of records that are variants of an earlier one (default 0.15)")
    p.add_argument("--seed", type=int, default=20240611, help="random seed (default 20240611)")
    p.add_argument("--truth", metavar="FILE",
                   help="also write 'duplicate<TAB>original' record numbers (1-based) to FILE")
    p.add_argument("-o", "--output", metavar="FILE", help="output file (default stdout)")
    args = p.parse_args(argv)
    if args.count < 0:
        p.error("--count must not be negative")
    if not 0.0 <= args.dup_rate <= 1.0:
        p.error("--dup-rate must be between 0 and 1")
    if args.delimiter == "tab":
        args.delimiter = "\t"
    if len(args.delimiter) != 1 or args.delimiter in '"\r\n|':
        p.error("--delimiter must be one character other than a quote, '|' or a line break")
    if args.csv_header is None:
        args.header = DEFAULT_HEADER
    else:
        sep = ";" if ";" in args.csv_header else ","
        args.header = tuple(name.strip() for name in args.csv_header.split(sep))
        if len(args.header) != len(FIELDS):
            p.error("--csv-header needs %d names, got %d" % (len(FIELDS), len(args.header)))
    return args


def generate(args, out, truth):
    rng = random.Random(args.seed)
    maker = Maker(rng)
    pool = []        # a uniform sample of earlier originals: (record number, values)
    pool_size = 4096
    originals = 0
    csv = args.format == "csv"
    delim = args.delimiter
    eol = "\r\n" if args.line_end == "crlf" else "\n"
    if csv:
        out.write(delim.join(csv_field(h, delim) for h in args.header) + eol)
    chunk = []
    for number in range(1, args.count + 1):
        if pool and rng.random() < args.dup_rate:
            source, original = rng.choice(pool)
            rec = maker.variant(original)
            if truth is not None:
                truth.write("%d\t%d\n" % (number, source))
        else:
            rec = maker.base()
            originals += 1
            if len(pool) < pool_size:
                pool.append((number, rec))
            else:
                slot = rng.randrange(originals)
                if slot < pool_size:
                    pool[slot] = (number, rec)
        if csv:
            chunk.append(delim.join([csv_field(v, delim) for v in rec]))
        else:
            chunk.append("|".join([record_text(v) for v in rec]))
        if len(chunk) == 8192:
            out.write(eol.join(chunk) + eol if csv else "\n".join(chunk) + "\n")
            chunk.clear()
    if chunk:
        out.write(eol.join(chunk) + eol if csv else "\n".join(chunk) + "\n")


def main(argv):
    args = parse_args(argv)
    if args.output:
        out = open(args.output, "w", encoding="utf-8", newline="", buffering=1 << 20)
    else:
        out = open(sys.stdout.fileno(), "w", encoding="utf-8", newline="", closefd=False,
                   buffering=1 << 20)
    truth = open(args.truth, "w", encoding="utf-8", newline="") if args.truth else None
    try:
        generate(args, out, truth)
    except BrokenPipeError:
        return 0
    finally:
        if truth is not None:
            truth.close()
        try:
            out.close()
        except BrokenPipeError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
