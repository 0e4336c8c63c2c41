#!/usr/bin/env python3
"""Realistic German customer records with CRM-style duplicates and their truth.

Writes customers as record strings (PLZ|Ort|Straße|Suchbegriff|Bez1|Bez2|Bez3|
Bez4|Kundengruppe, one per line) or as CSV (';', CRLF, header PLZ;Ort;Strasse;
Suchbegriff;Name1;...;Kundengruppe, optionally a Kundennr column first), and
with --truth a file of "record<TAB>cluster": records describing the same real
customer share a cluster id, which is the number of the cluster's first record.

People (about 65 %) and companies (35 %) get real German surnames with their
frequency skew, Turkish, Polish, Italian, Russian and Balkan names, first
names, titles, real towns drawn by population from their postcode ranges,
common street patterns and companies with legal forms in realistic shares.

About --dup-rate of the records are re-entries of an earlier customer (2 to 4
records a customer) that differ in one to three ways, each with its own chance:
case or blanks, street spelling and house number form, letter typos, umlauts
written out, titles, first and last name swapped, legal form spelling, postcode
typos, the leading zero lost to a spreadsheet, missing values, alike spellings,
and (--hard-cases all) house numbers written as a range, reading (OCR) errors,
town forms and first name variants. A duplicate's tag names its differences,
so it also tells how many it has.

Hard non-duplicates, each its own customer tagged with its kind, are planted
beside them as real files are full of them (--hard-cases all, the default):
household members at one address with other, sometimes alike-looking, first
names; neighbours in one building; namesakes in one town; father and son with
sen. and jun.; a firm named after its owner beside the owner; other firms or
people at a firm's address; branches of a firm. --hard-cases classic plants
the smaller mix of earlier versions (family, junior, namesake, same_address,
owner) and makes the same records as they did for the same seed; none plants
no look-alikes at all, but its re-entries differ as with all.

The same --seed and --count give the same records in every format. Records are
made and shuffled in blocks of --block records, so memory stays constant for
any --count and duplicates are not adjacent to their originals.

--format names writes one name a line instead (surnames and company names,
about 30 % with an umlaut or ß), for timing phonetic codes.
"""

import argparse
import bisect
import itertools
import random
import sys
import unicodedata

from generate_records import csv_field, upper_de

DEFAULT_HEADER = ("PLZ", "Ort", "Strasse", "Suchbegriff", "Name1", "Name2", "Name3",
                  "Name4", "Kundengruppe")
NUMBER_HEADER = "Kundennr"


class Weighted:
    """Draws items by weight: one random() and a bisect per draw."""

    def __init__(self, items, weights):
        self.items = list(items)
        self.cum = list(itertools.accumulate(weights))
        self.total = self.cum[-1]

    def draw(self, rng):
        return self.items[bisect.bisect(self.cum, rng.random() * self.total)]


def _words(text):
    return [w for w in text.split() if w]


def _items(text):
    """Comma-separated items that may hold blanks ("De Luca")."""
    return [w.strip() for w in text.split(",") if w.strip()]


# ---------------------------------------------------------------------------
# Names

# German surnames, most frequent first; a draw's weight falls with the rank.
SURNAMES_RANKED = _words("""
Müller Schmidt Schneider Fischer Weber Meyer Wagner Becker Schulz Hoffmann Schäfer
Koch Bauer Richter Klein Wolf Schröder Neumann Schwarz Zimmermann Braun Krüger Hofmann
Hartmann Lange Schmitt Werner Schmitz Krause Meier Lehmann Schmid Schulze Maier Köhler
Herrmann König Walter Mayer Huber Kaiser Fuchs Peters Lang Scholz Möller Weiß Jung Hahn
Schubert Vogel Friedrich Keller Günther Frank Berger Winkler Roth Beck Lorenz Baumann
Franke Albrecht Schuster Simon Ludwig Böhm Winter Kraus Martin Schumacher Krämer Vogt
Stein Jäger Otto Sommer Groß Seidel Heinrich Brandt Haas Schreiber Graf Schulte Dietrich
Ziegler Kuhn Kühn Pohl Engel Horn Busch Bergmann Thomas Voigt Sauer Arnold Wolff Pfeiffer
Ernst Lindner Hübner Kramer Franz Jansen Hansen Wenzel Götz Paul Barth Kern Lenz Fritz
Riedel Thiel Bock Ulrich Hein Brinkmann Haase Schröter Schilling Böttcher Beyer Kurz
Kraft Schütz Seifert Reuter Pietsch Marx Sander Nagel Wendt Schade Kretschmer Ebert Jahn
Hoppe Stahl Krebs Ahrens Menzel Schuhmacher Fiedler Schütte Geiger Hesse Witt Schramm
Dittrich Lindemann Brand Heller Ritter Schiller Förster Kolb Kruse Hartwig Mertens
Vetter Schweizer Rieger Bach Thomsen Mohr Baier Frey Wegner Hauser Löffler Körner
Kunze Rausch Wolter Petersen Maurer Meißner Wirth Bruns Michel Lohmann Stephan Raab
Hertel Busse Nickel Zimmer Langer Bayer Strauß Kaufmann Ackermann Adam Weiss Eckert
Reinhardt Hartung Reichert Pfeifer Kirchner Koller Klose Jakob Rößler Gerlach Scharf
Sonntag Bender Marquardt Heß Heinz Lutz Jacobs Wittmann Ullrich Walther Decker Bader
Schott Heinemann Hoff Renner Noack Seitz Schenk Kluge Fink Urban Dietz Behrens Reimann
Wiese Ott Döring Gebhardt Steiner Scherer Kopp Baum Kübler Jost Moser Pape Sievers
Rupp Keil Engelhardt Hennig Rother Schlüter Wiegand Stark Dörr Mayr Keßler Kessler
Buchholz Burger Funk Runge Unger Pfaff Brückner Bode Vollmer Weller Hempel Stoll Held
Eichhorn Wimmer Krug Lambert Fröhlich Grimm Hinz Beckmann Wagener Engelmann Kühne Buck
Jürgens Feldmann Schaller Böhme Hinrichs Kranz Rauch Beer Hummel Heinze Wilke Voß Voss
Kleine Timm Wolfram Oswald Schwab Strobel Witte Weise Weiler Auer Albers Schreiner
Brauer Heck Schnell Mai Rapp Reich Göbel Lauer Haag Steffen Abel Wiedemann Merz Haug
Appel Nolte Schaefer Link Berndt Benz Heim Diehl Bachmann Geyer Alt Hecht Baumgartner
Reinhold Hellwig Barthel Dreyer Tietz Evers Kunz Frenzel Leonhardt Wiesner Ruf Siebert
Heuer Ebner Sturm Brenner Vogl Goldmann Schwarze Jäckel Rath Blum Gärtner Kästner
Knoll Heinrichs Rudolph Wahl Rohde Bühler Glaser Kahl Reinke Freitag Hagen Jacob
Bernhardt Schuler Petri Rothe Reiter Merkel Hofer Mann Brandl Forster Ahlers Dreher
Rose Mack Haupt Steinbach Kiefer Wild Pieper Meister Janssen Janßen Adler Spies Ehlers
Straub Wetzel Thieme Fuhrmann Blank Schöne Kempf Schlegel Heine Matthes Kirsch
Schürmann Lemke Hagemann Bartsch Gruber Brunner Schiffer Holz Wehner Huth Hauck Dorn
Hammer Gerhardt Jordan Eder Prinz Thiele Mende Starke Eckhardt Pöhlmann Zeller Stumpf
Körber Bischoff Trautmann Wendland Biermann Brüggemann Kuhlmann Raabe Neubauer Strack
Gerber Herzog Hirsch Köster Zander Böhmer Große Riemer Pfister Lau Brüning Scheffler
Jentsch Kretzschmar Uhlig Ulbricht Thümmler Nestler Oehme Seiler Bräuer Rüdiger
Schönherr Bretschneider Weigelt Gläser Löser Mehnert Tröger Kühnert Möbius Bräutigam
Schwalbe Lüders Harms Jensen Paulsen Carstensen Lorenzen Asmussen Nissen Christiansen
Stadler Hölzl Lechner Aigner Leitner Egger Obermaier Unterberger Holzapfel Weigl
Dengler Binder Kötter Hülsmann Overbeck Brockhoff Hermes Esser Kremer Hamacher
Küpper Thelen Krings Frings Hürtgen Jörgens Dahmen Lützenkirchen Füllgraf Düsterhöft
Bülow Grüning Lübke Klöckner Schönfeld Schüler Möhring Rühl Söhnchen Großmann Weißmann
Kößler Rößner Fleischer Metzger Wagenknecht Drescher Bachhuber Niederberger Oberhuber
""")

# Stems and endings of rarer German surnames: the long tail of real files.
TAIL_STEMS = _words("""
Stein Berg Wald Hof Holz Brand Linden Eichen Buchen Rosen Feld Wies Mühl Kirch Bach Brunn
Hage Ober Unter Nieder Hoch Alt Neu Kron Schön Gold Eisen Hirsch Fuchs Adler Lerch Sommer
Winter Dorn Ross Kling Haber Sand Kalk Moos Ried Horst Lind Ebel Stolz Kessel Krumm Lang
Klein Groß Weiß Roth Schwarz Grün Bräu Köhl Dürr Heil Frei Stroh Fleisch Wein Hopf
Hasel Erl Tann Föhr Lohr Kamp Brink Esch Bruch Roth Steg Hain Rück Sieg Stock Brück
""")
TAIL_ENDS = _words("""
mann er ner hauser huber bauer meier berger müller schmidt brink kamp hoff feld rath
ling bach becker reiter bichler leitner inger egger ert wald stedt busch horst lehner
maier hofer mayr wieser böck hammer gruber köhler städter brügge beck hagen kötter
""")

SURNAMES_TURKISH = _words("""
Yılmaz Yilmaz Kaya Demir Şahin Sahin Çelik Celik Yıldız Yildiz Yıldırım Öztürk Aydın Aydin
Özdemir Arslan Doğan Dogan Kılıç Kilic Aslan Çetin Kara Koç Kurt Özkan Şimşek Polat Korkmaz
Erdoğan Aktaş Yavuz Güler Karaca Bulut Tekin Keskin Ünal Ateş Özer Acar Güneş Türk
Avcı Uçar Bozkurt Kaplan Erdem Sarı Coşkun Akın Özcan Yüksel
""")
SURNAMES_POLISH = _words("""
Nowak Kowalski Wiśniewski Wisniewski Wójcik Wojcik Kowalczyk Kamiński Kaminski Lewandowski
Zieliński Zielinski Szymański Woźniak Wozniak Dąbrowski Dabrowski Kozłowski Kozlowski
Jankowski Mazur Kwiatkowski Krawczyk Piotrowski Grabowski Nowakowski Pawlowski Michalski
Nowicki Adamczyk Dudek Zając Wieczorek Jabłoński Król Majewski Olszewski Jaworski Wróbel
Malinowski Pawlak Witkowski Walczak Sikora Ostrowski Baran Duda Szewczyk Tomaszewski
Pietrzak Marciniak Zalewski Jakubowski Sadowski Schimanski Kaminsky Nowack Koslowski
Lewandowsky Schewe Kowalewski Wisniewsky Scholtyssek Przybylla Kaczmarek Sobczak
""")
SURNAMES_ITALIAN = _items("""
Rossi, Russo, Ferrari, Esposito, Bianchi, Romano, Colombo, Ricci, Marino, Greco, Bruno,
Gallo, Conti, De Luca, Mancini, Costa, Giordano, Rizzo, Lombardi, Moretti, Barbieri,
Fontana, Santoro, Mariani, Rinaldi, Caruso, Ferrara, Galli, Martini, Leone, Longo,
Gentile, Martinelli, Vitale, Lombardo, Serra, Coppola, De Santis, D'Angelo, Marchetti,
Parisi, Villa, Conte, Ferraro, Fabbri, Bianco, Marini, Grasso, Valentini, Messina, Sala,
De Angelis, Gatti, Pellegrini, Palumbo, Farina, Rizzi, Monti, Cattaneo, Morelli, Amato,
Silvestri, Mazza, Testa, Caputo, Guerra, Palmieri, Bernardi, Fiore, De Rosa, Basile,
Sorrentino, D'Amico, Orlando, Di Stefano, La Rosa, Lo Presti, Dell'Acqua, Di Maio
""")
SURNAMES_RUSSIAN = _words("""
Iwanow Petrow Smirnow Kusnezow Popow Wolkow Sokolow Lebedew Koslow Nowikow Morosow
Wassiljew Pawlow Semjonow Golubew Winogradow Bogdanow Fjodorow Michailow Beljajew
Tarassow Below Orlow Makarow Andrejew Kowaljow Iljin Gusew Titow Kusmin Baranow Kulikow
Alexejew Stepanow Jakowlew Sorokin Sergejew Romanow Sacharow Borissow Medwedew Nikitin
Sobolew Poljakow Danilow Schukow Frolow Nikolajew Krylow Maximow Sidorow Ossipow
Jegorow Matwejew Dmitrijew Kalinin Antonow Filippow Markow Mironow Alexandrow Kasakow
Denissow Gromow Dawydow Melnikow Schmidt Wiebe Friesen Penner Klassen Dück Neufeld
Janzen Martens Unruh Hildebrandt Reimer Wall Giesbrecht Töws Harder Enns Ediger
Schellenberg Heidebrecht
""")
SURNAMES_BALKAN_GREEK = _words("""
Papadopoulos Georgiou Dimitriou Nikolaidis Papadakis Ioannidis Horvat Kovačević Kovacevic
Babić Babic Jovanović Jovanovic Petrović Petrovic Nikolić Nikolic Marković Markovic
Popović Popovic Hodžić Hodzic Krasniqi Berisha Gashi Hoxha Shala Novak Zupan Kranjc
""")

FIRST_MALE = _words("""
Peter Michael Thomas Andreas Wolfgang Klaus Jürgen Günter Stefan Christian Uwe Werner
Hans Horst Frank Manfred Dieter Bernd Helmut Gerhard Ralf Joachim Heinz Walter Karl
Martin Markus Sven Jan Torsten Matthias Alexander Sebastian Daniel Tobias Florian Dirk
Rainer Holger Jörg Harald Rolf Heinrich Bernhard Norbert Reinhard Karl-Heinz Hans-Peter
Hans-Jürgen Siegfried Gerd Günther Hermann Kurt Herbert Willi Friedrich Georg Josef Erich
Fritz Otto Lothar Volker Detlef Olaf Carsten Kai Lars Nils Björn Sören Jens Timo Marco
Mario Patrick Dennis Marcel Kevin Tim Lukas Jonas Leon Finn Paul Felix Maximilian Julian
Moritz Niklas David Philipp Fabian Benjamin Simon Johannes Dominik Marc René André
Mehmet Mustafa Ali Ahmet Hüseyin Hasan Murat Ömer Emre Piotr Krzysztof Tomasz Marek
Giuseppe Antonio Salvatore Giovanni Sergej Alexej Dmitri Wladimir Viktor Andrej Eduard
Waldemar Artur Jakob Anton Konstantin Roland Ulrich Wilhelm Eberhard Ludwig Gustav Egon
Axel Mathias Achim Hartmut Gunter Klaus-Dieter Ernst Rudolf Alfred Sönke Jörn Hauke
Ole Malte Henning Till Jochen Guido Oliver Stephan Christoph Steffen Ingo Heiko Mirko
""")
FIRST_FEMALE = _words("""
Ursula Monika Petra Sabine Renate Helga Karin Brigitte Ingrid Gabriele Andrea Elisabeth
Christa Susanne Claudia Birgit Gisela Stefanie Nicole Anja Heike Martina Barbara
Angelika Christine Marion Katrin Silke Ute Doris Edith Erika Gertrud Hildegard Inge
Irene Jutta Marianne Waltraud Bärbel Ilse Elke Anke Kerstin Manuela Simone Tanja Daniela
Sandra Melanie Julia Katharina Anna Lena Laura Sarah Lisa Hannah Lea Marie Sophie Emma
Mia Johanna Charlotte Franziska Jessica Jennifer Christina Nadine Sonja Yvonne Diana
Carmen Beate Bettina Cornelia Dagmar Regina Rita Rosemarie Ruth Sigrid Anneliese
Hannelore Lieselotte Margarete Käthe Gudrun Heidi Dorothea Annette Kirsten Silvia Iris
Vera Tatjana Natalia Swetlana Olga Irina Elena Ayşe Ayse Fatma Emine Hatice Zeynep Elif
Gönül Agnieszka Katarzyna Małgorzata Anna-Lena Anne-Marie Marie-Luise Dörte Frauke
Maren Wiebke Britta Antje Ines Grit Peggy Mandy Doreen Ramona Jördis Sünje Mareike
Jana Nina Svenja Kathrin Ulrike Astrid Heidrun Roswitha Elfriede Hiltrud Ännchen
""")

TITLES = Weighted(("Dr.", "Prof. Dr.", "Dipl.-Ing.", "Dipl.-Kfm.", "Dr. med.", "Dr.-Ing.",
                   "Dipl.-Kffr.", "Dr. med. dent."), (46, 8, 16, 8, 12, 5, 3, 2))
# Forms of a title that CRM users type for one another.
TITLE_FORMS = {
    "Dr.": ("Dr. med.", "Dr", "Doktor"), "Prof. Dr.": ("Prof.", "Dr.", "Prof.Dr."),
    "Dipl.-Ing.": ("Dipl. Ing.", "Dipl.-Ing. (FH)", "Dipl.Ing."),
    "Dipl.-Kfm.": ("Dipl. Kfm.", "Dipl.-Kaufmann"), "Dr. med.": ("Dr.", "Dr.med."),
    "Dr.-Ing.": ("Dr. Ing.", "Dr."), "Dipl.-Kffr.": ("Dipl. Kffr.", "Dipl.-Kauffrau"),
    "Dr. med. dent.": ("Dr.", "Dr. med."),
}

# Spellings that sound alike or are the same name in another transliteration.
ALIKE_GROUPS = [_items(g) for g in (
    "Meier,Mayer,Meyer,Maier,Mayr", "Müller,Mueller", "Schmidt,Schmitt,Schmid",
    "Hoffmann,Hofmann", "Schulz,Schultz", "Becker,Bäcker", "Weiß,Weiss", "Groß,Gross",
    "Voß,Voss", "Heß,Hess", "Keßler,Kessler", "Janßen,Janssen", "Schröder,Schroeder",
    "Nowak,Nowack,Novak", "Kowalski,Kowalsky", "Schimanski,Szymański,Szymanski",
    "Kaminski,Kaminsky,Kamiński", "Lewandowski,Lewandowsky", "Wisniewski,Wisniewsky",
    "Iwanow,Ivanov,Iwanov", "Petrow,Petrov", "Smirnow,Smirnov", "Popow,Popov",
    "Yılmaz,Yilmaz", "Şahin,Sahin", "Çelik,Celik", "Öztürk,Ozturk", "Yıldız,Yildiz",
    "Kovačević,Kovacevic", "Jovanović,Jovanovic", "Petrović,Petrovic", "Nikolić,Nikolic",
    "Christian,Kristian", "Karl,Carl", "Claudia,Klaudia", "Katrin,Kathrin,Catrin",
    "Stefan,Stephan", "Ralf,Ralph", "Sergej,Sergei,Sergey", "Marc,Mark", "André,Andre",
    "René,Rene", "Matthias,Mathias", "Philipp,Philip", "Helmut,Helmuth", "Günter,Günther",
    "Walter,Walther", "Hans-Peter,Hanspeter,Hans Peter", "Karl-Heinz,Karlheinz,Carl-Heinz",
    "Josef,Joseph", "Alexej,Alexei,Alexey", "Ayşe,Ayse", "Hüseyin,Hüssein,Huseyin",
    "Mehmet,Mehmed", "Krzysztof,Christoph", "Hans,Johannes", "Willi,Wilhelm",
    "Fritz,Friedrich", "Sepp,Josef", "Gabriele,Gaby", "Elisabeth,Elisabet,Elizabeth")]
ALIKE = {}
for _group in ALIKE_GROUPS:
    for _name in _group:
        ALIKE.setdefault(_name, [n for n in _group if n != _name])

# ---------------------------------------------------------------------------
# Towns: name, lowest PLZ, highest PLZ, inhabitants in thousands.

TOWN_TABLE = """
Berlin;10115;14199;3700|Hamburg;20095;22769;1850|München;80331;81929;1488|Köln;50667;51149;1085
Frankfurt am Main;60306;60599;760|Stuttgart;70173;70629;630|Düsseldorf;40210;40629;620
Leipzig;04103;04357;601|Dortmund;44135;44388;587|Essen;45127;45359;580|Bremen;28195;28779;570
Dresden;01067;01328;556|Hannover;30159;30669;535|Nürnberg;90402;90491;518
Duisburg;47051;47279;495|Bochum;44787;44894;363|Wuppertal;42103;42399;355
Bielefeld;33602;33739;333|Bonn;53111;53229;330|Münster;48143;48167;316
Mannheim;68159;68309;310|Karlsruhe;76131;76229;306|Augsburg;86150;86199;296
Wiesbaden;65183;65207;278|Mönchengladbach;41061;41239;261|Gelsenkirchen;45879;45899;260
Aachen;52062;52080;249|Braunschweig;38100;38126;249|Kiel;24103;24159;247
Chemnitz;09111;09247;246|Halle (Saale);06108;06132;238|Magdeburg;39104;39130;237
Freiburg im Breisgau;79098;79117;231|Krefeld;47798;47839;227|Mainz;55116;55131;218
Lübeck;23552;23570;217|Erfurt;99084;99099;214|Oberhausen;46045;46149;209
Rostock;18055;18147;209|Kassel;34117;34134;201|Hagen;58089;58135;188|Potsdam;14467;14482;183
Saarbrücken;66111;66133;180|Hamm;59063;59077;179|Ludwigshafen am Rhein;67059;67071;172
Mülheim an der Ruhr;45468;45481;170|Oldenburg (Oldb);26121;26135;170
Osnabrück;49074;49090;165|Leverkusen;51371;51381;163|Darmstadt;64283;64297;160
Heidelberg;69115;69126;160|Solingen;42651;42719;159|Herne;44623;44653;156
Neuss;41460;41472;153|Regensburg;93047;93059;153|Paderborn;33098;33106;151
Ingolstadt;85049;85057;137|Offenbach am Main;63065;63075;131|Fürth;90762;90768;128
Würzburg;97070;97084;127|Ulm;89073;89081;126|Heilbronn;74072;74081;126
Pforzheim;75172;75181;126|Wolfsburg;38440;38448;124|Göttingen;37073;37085;118
Bottrop;46236;46244;117|Reutlingen;72760;72770;116|Bremerhaven;27568;27580;115
Koblenz;56068;56077;114|Erlangen;91052;91058;112|Trier;54290;54296;111
Recklinghausen;45657;45665;111|Remscheid;42853;42899;111|Bergisch Gladbach;51427;51469;111
Jena;07743;07751;110|Moers;47441;47447;104|Salzgitter;38226;38259;104
Siegen;57072;57080;101|Gütersloh;33330;33335;101|Hildesheim;31134;31141;101
Kaiserslautern;67655;67663;99|Cottbus;03042;03055;98|Hanau;63450;63457;98
Witten;58452;58456;96|Schwerin;19053;19063;96|Esslingen am Neckar;73728;73734;94
Gera;07545;07552;93|Ludwigsburg;71634;71642;93|Iserlohn;58636;58644;92
Düren;52349;52355;91|Tübingen;72070;72076;91|Flensburg;24937;24944;91|Gießen;35390;35398;90
Zwickau;08056;08066;88|Ratingen;40878;40885;87|Lünen;44532;44536;86
Villingen-Schwenningen;78048;78056;85|Marl;45768;45772;84|Konstanz;78462;78467;84
Worms;67547;67551;83|Velbert;42549;42555;82|Minden;32423;32429;82|Neumünster;24534;24539;80
Norderstedt;22844;22851;80|Delmenhorst;27749;27755;78|Dessau-Roßlau;06842;06862;78
Bamberg;96047;96052;77|Marburg;35037;35043;77|Viersen;41747;41751;77|Rheine;48429;48432;77
Lüneburg;21335;21339;76|Wilhelmshaven;26382;26389;76|Gladbeck;45964;45968;76
Troisdorf;53840;53844;75|Dorsten;46282;46286;75|Bayreuth;95444;95448;74
Detmold;32756;32760;74|Arnsberg;59755;59823;73|Castrop-Rauxel;44575;44581;73
Brandenburg an der Havel;14770;14776;73|Landshut;84028;84036;73|Lüdenscheid;58507;58515;72
Aschaffenburg;63739;63743;71|Bocholt;46395;46399;71|Celle;29221;29229;69
Kempten (Allgäu);87435;87439;69|Fulda;36037;36043;69|Aalen;73430;73434;68
Lippstadt;59555;59558;68|Dinslaken;46535;46539;67|Herford;32049;32052;66
Kerpen;50169;50171;66|Rüsselsheim am Main;65428;65428;66|Weimar;99423;99427;65
Neuwied;56564;56567;64|Sindelfingen;71063;71069;64|Dormagen;41539;41542;64
Neubrandenburg;17033;17036;64|Plauen;08523;08529;64|Rosenheim;83022;83026;63
Grevenbroich;41515;41517;63|Schwäbisch Gmünd;73525;73529;61|Friedrichshafen;88045;88048;61
Garbsen;30823;30827;61|Bergheim;50126;50129;61|Offenburg;77652;77656;60|Wesel;46483;46487;60
Unna;59423;59427;59|Stralsund;18435;18439;59|Greifswald;17489;17493;59|Hürth;50354;50354;59
Langenfeld (Rheinland);40764;40764;59|Euskirchen;53879;53881;58|Göppingen;73033;73037;58
Neu-Ulm;89231;89233;58|Hameln;31785;31789;57|Frankfurt (Oder);15230;15236;57
Görlitz;02826;02828;56|Stolberg (Rhld.);52222;52224;56|Meerbusch;40667;40670;56
Lingen (Ems);49808;49811;56|Sankt Augustin;53757;53757;55|Waiblingen;71332;71336;55
Baden-Baden;76530;76534;55|Hilden;40721;40724;55|Bad Homburg vor der Höhe;61348;61352;54
Schweinfurt;97421;97424;54|Langenhagen;30851;30855;54|Nordhorn;48527;48531;54
Bad Salzuflen;32105;32108;54|Neustadt an der Weinstraße;67433;67435;53|Passau;94032;94036;52
Wetzlar;35576;35586;52|Ahlen;59227;59229;52|Menden (Sauerland);58706;58710;52
Wolfenbüttel;38300;38304;52|Frechen;50226;50226;52|Bad Kreuznach;55543;55545;51
Speyer;67346;67346;50|Goslar;38640;38644;50|Peine;31224;31228;50|Emden;26721;26725;50
Ravensburg;88212;88214;50|Böblingen;71032;71034;50|Rastatt;76437;76437;50
Heidenheim an der Brenz;89518;89522;50|Erftstadt;50374;50374;50|Lörrach;79539;79541;49
Leonberg;71229;71229;49|Bad Oeynhausen;32545;32549;49|Cuxhaven;27472;27478;48
Oranienburg;16515;16515;48|Freising;85354;85356;48|Frankenthal (Pfalz);67227;67227;48
Singen (Hohentwiel);78224;78224;48|Straubing;94315;94315;47|Dachau;85221;85221;47
Stade;21680;21684;47|Landau in der Pfalz;76829;76829;47|Soest;59494;59494;47
Melle;49324;49328;47|Neunkirchen;66538;66540;46|Schwerte;58239;58239;46
Oberursel (Taunus);61440;61440;46|Hof;95028;95032;45|Gotha;99867;99869;45
Lutherstadt Wittenberg;06886;06889;45|Rodgau;63110;63110;45|Bruchsal;76646;76646;45
Weinheim;69469;69469;45|Fellbach;70734;70736;45|Lehrte;31275;31275;45
Kaufbeuren;87600;87600;44|Memmingen;87700;87700;44|Falkensee;14612;14612;44
Pinneberg;25421;25421;44|Rottenburg am Neckar;72108;72108;44|Wismar;23966;23970;43
Bietigheim-Bissingen;74321;74321;43|Eisenach;99817;99819;42|Amberg;92224;92224;42
Homburg;66424;66424;42|Gifhorn;38518;38518;42|Dreieich;63303;63303;42|Aurich;26603;26607;42
Seevetal;21217;21220;42|Weiden in der Oberpfalz;92637;92637;42|Nordhausen;99734;99734;41
Ansbach;91522;91522;41|Coburg;96450;96450;41|Siegburg;53721;53721;41
Schwäbisch Hall;74523;74523;41|Nürtingen;72622;72622;41|Schwabach;91126;91126;41
Freiberg;09599;09599;40|Halberstadt;38820;38820;40|Weißenfels;06667;06667;40
Bernau bei Berlin;16321;16321;40|Eberswalde;16225;16227;40|Bensheim;64625;64625;40
Hofheim am Taunus;65719;65719;40|Germering;82110;82110;40|Buxtehude;21614;21614;40
Neumarkt in der Oberpfalz;92318;92318;40|Pirmasens;66953;66955;40|Kirchheim unter Teck;73230;73230;40
Stendal;39576;39576;39|Freital;01705;01705;39|Völklingen;66333;66333;39|Maintal;63477;63477;39
Ettlingen;76275;76275;39|Bautzen;02625;02625;38|Pirna;01796;01796;38|Ilmenau;98693;98694;38
Königs Wusterhausen;15711;15711;38|Langen (Hessen);63225;63225;38|Neu-Isenburg;63263;63263;38
Papenburg;26871;26871;38|Bitterfeld-Wolfen;06749;06766;37|Kehl;77694;77694;37
Warendorf;48231;48231;37|Suhl;98527;98529;36|Mühlhausen/Thüringen;99974;99974;36
Fürstenfeldbruck;82256;82256;36|Erding;85435;85435;36|Cloppenburg;49661;49661;36
Emsdetten;48282;48282;36|Coesfeld;48653;48653;36|Merseburg;06217;06217;34
Radebeul;01445;01445;34|Wedel;22880;22880;34|Ahrensburg;22926;22926;34
Uelzen;29525;29525;34|Leer (Ostfriesland);26789;26789;34|Bad Vilbel;61118;61118;34
Viernheim;68519;68519;34|Zweibrücken;66482;66482;34|Dietzenbach;63128;63128;34
Mörfelden-Walldorf;64546;64546;34|Limburg an der Lahn;65549;65556;35|Ingelheim am Rhein;55218;55218;35
Saarlouis;66740;66740;35|Sankt Ingbert;66386;66386;35|Crailsheim;74564;74564;35
Balingen;72336;72336;35|Sinsheim;74889;74889;35|Deggendorf;94469;94469;33
Schwedt/Oder;16303;16303;33|Hoyerswerda;02977;02977;32|Bernburg (Saale);06406;06406;32
Naumburg (Saale);06618;06618;32|Wernigerode;38855;38855;32|Fürstenwalde/Spree;15517;15517;32
Bad Nauheim;61231;61231;32|Itzehoe;25524;25524;32|Nienburg/Weser;31582;31582;32
Vechta;49377;49377;32|Lampertheim;68623;68623;32|Altenburg;04600;04600;31
Neuruppin;16816;16816;31|Geesthacht;21502;21502;31|Osterholz-Scharmbeck;27711;27711;31
Riesa;01587;01591;30|Schönebeck (Elbe);39218;39218;30|Bad Hersfeld;36251;36251;30
Friedberg (Hessen);61169;61169;30|Andernach;56626;56626;30|Merzig;66663;66663;30
Meschede;59872;59872;30|Weil am Rhein;79576;79576;30|Landsberg am Lech;86899;86899;30
Neuburg an der Donau;86633;86633;30|Güstrow;18273;18273;29|Taunusstein;65232;65232;29
Bad Zwischenahn;26160;26160;29|Unterschleißheim;85716;85716;29|Meißen;01662;01665;28
Grimma;04668;04668;28|Zeitz;06712;06712;28|Saalfeld/Saale;07318;07318;28
Idar-Oberstein;55743;55743;28|Bad Neuenahr-Ahrweiler;53474;53474;28|Teltow;14513;14513;28
Ludwigsfelde;14974;14974;28|Rendsburg;24768;24768;28|Henstedt-Ulzburg;24558;24558;28
Reinbek;21465;21465;28|Aschersleben;06449;06449;27|Arnstadt;99310;99310;27
Strausberg;15344;15344;27|Werder (Havel);14542;14542;27|Garmisch-Partenkirchen;82467;82467;27
Pfaffenhofen an der Ilm;85276;85276;27|Sangerhausen;06526;06526;26|Bad Honnef;53604;53604;26
St. Wendel;66606;66606;26|Heppenheim (Bergstraße);64646;64646;26|Hennigsdorf;16761;16761;26
Zirndorf;90513;90513;26|Rudolstadt;07407;07407;25|Markkleeberg;04416;04416;25
Delitzsch;04509;04509;25|Zittau;02763;02763;25|Köthen (Anhalt);06366;06366;25
Meiningen;98617;98617;25|Bingen am Rhein;55411;55411;25|Bad Oldesloe;23843;23843;25
Schleswig;24837;24837;25|Brilon;59929;59929;25|Groß-Gerau;64521;64521;25
Lindau (Bodensee);88131;88131;25|Döbeln;04720;04720;24|Limbach-Oberfrohna;09212;09212;24
Quedlinburg;06484;06484;24|Salzwedel;29410;29410;24|Eisenhüttenstadt;15890;15890;24
Rathenow;14712;14712;24|Olpe;57462;57462;24|Bad Mergentheim;97980;97980;24
Lutherstadt Eisleben;06295;06295;23|Sonneberg;96515;96515;23|Senftenberg;01968;01968;23
Husum;25813;25813;23|Starnberg;82319;82319;23|Bad Soden am Taunus;65812;65812;23
Glauchau;08371;08371;22|Apolda;99510;99510;22|Spremberg;03130;03130;22|Burg;39288;39288;22
Heide;25746;25746;22|Eckernförde;24340;24340;22|Bad Kissingen;97688;97688;22
Bad Rappenau;74906;74906;22|Kitzingen;97318;97318;22|Coswig;01640;01640;21
Sondershausen;99706;99706;21|Luckenwalde;14943;14943;21|Waren (Müritz);17192;17192;21
Bad Harzburg;38667;38667;21|Eschborn;65760;65760;21|Traunstein;83278;83278;21
Mühldorf am Inn;84453;84453;21|Werdau;08412;08412;20|Reichenbach im Vogtland;08468;08468;20
Annaberg-Buchholz;09456;09456;20|Aue-Bad Schlema;08280;08301;20|Torgau;04860;04860;20
Greiz;07973;07973;20|Bad Salzungen;36433;36433;20|Leinefelde-Worbis;37327;37339;20
Neustrelitz;17235;17235;20|Bad Schwartau;23611;23611;20|Haßloch;67454;67454;20
Dillingen/Saar;66763;66763;20|Bad Friedrichshall;74177;74177;20|Bad Waldsee;88339;88339;20
Sömmerda;99610;99610;19|Schmalkalden;98574;98574;19|Borna;04552;04552;19
Prenzlau;17291;17291;19|Bad Pyrmont;31812;31812;19|Bad Driburg;33014;33014;19
Bad Aibling;83043;83043;19|Dingolfing;84130;84130;19|Crimmitschau;08451;08451;18
Großenhain;01558;01558;18|Schkeuditz;04435;04435;18|Radeberg;01454;01454;18
Auerbach/Vogtl.;08209;08209;18|Parchim;19370;19370;18|Bad Segeberg;23795;23795;18
Bad Dürkheim;67098;67098;18|Bad Tölz;83646;83646;18|Bad Reichenhall;83435;83435;18
Weißenburg in Bayern;91781;91781;18|Bad Langensalza;99947;99947;17|Bad Wildungen;34537;34537;17
Bad Saulgau;88348;88348;17|Bad Münstereifel;53902;53902;17|Weißwasser/O.L.;02943;02943;16
Heidenau;01809;01809;16|Marienberg;09496;09496;16|Wurzen;04808;04808;16
Zeulenroda-Triebes;07937;07950;16|Finsterwalde;03238;03238;16|Lübbenau/Spreewald;03222;03222;16
Bad Lippspringe;33175;33175;16|Bad Bentheim;48455;48455;16|Großostheim;63762;63762;16
Eilenburg;04838;04838;15|Ribnitz-Damgarten;18311;18311;15|Oschatz;04758;04758;14
Kamenz;01917;01917;14|Mittweida;09648;09648;14|Weißenhorn;89264;89264;13
Haßfurt;97437;97437;13|Bergen auf Rügen;18528;18528;13|Altötting;84503;84503;13
Pößneck;07381;07381;12|Bad Doberan;18209;18209;12|Anklam;17389;17389;12
Wolgast;17438;17438;12|Bad Freienwalde (Oder);16259;16259;12|Oelsnitz/Erzgeb.;09376;09376;11
Bad Dürrenberg;06231;06231;11|Bad Nenndorf;31542;31542;11|Nußloch;69226;69226;11
Querfurt;06268;06268;10|Schleiz;07907;07907;9|Bad Liebenwerda;04924;04924;9|Bad Ems;56130;56130;9
Bad Düben;04849;04849;8|Bad Lausick;04651;04651;8|Hermsdorf;07629;07629;8
Großräschen;01983;01983;8|Großbottwar;71723;71723;8|Roßwein;04741;04741;7
Großröhrsdorf;01900;01900;7|Bad Berka;99438;99438;7|Bad Blankenburg;07422;07422;6
Bad Lobenstein;07356;07356;6|Bad Schandau;01814;01814;4|Bad Elster;08645;08645;4
"""


def _parse_towns(table):
    towns = []
    for entry in table.replace("\n", "|").split("|"):
        if entry.strip():
            name, low, high, people = entry.split(";")
            towns.append((name, int(low), int(high), int(people)))
    return towns


TOWNS = _parse_towns(TOWN_TABLE)
TOWN_DRAW = Weighted(range(len(TOWNS)), [t[3] for t in TOWNS])


def town_forms(name):
    """Other ways the town is typed: "Frankfurt a. M.", "Halle/Saale", "Halle"."""
    forms = []
    for long, shorts in ((" am Main", ("/Main", " a. M.", " a.M.", "")),
                         (" an der ", (" a. d. ", "/")), (" am ", (" a. ", "/")),
                         (" im Breisgau", (" i. Br.", " i.Br.", "")),
                         (" in der Oberpfalz", (" i. d. OPf.", " i.d.OPf.", "")),
                         (" in der Pfalz", ("/Pfalz", " i. d. Pf.", "")),
                         (" vor der Höhe", (" v. d. Höhe", " v.d.H.", "")),
                         (" unter Teck", (" u. T.", "")), (" bei Berlin", ("",)),
                         (" im Vogtland", ("/Vogtl.", "")), (" auf Rügen", ("/Rügen", ""))):
        if long in name:
            head, tail = name.split(long, 1)
            for short in shorts:
                forms.append(head + short + (tail if short.endswith((" ", "/")) else ""))
            break
    if " (" in name and name.endswith(")"):
        head, tail = name[:-1].split(" (", 1)
        forms += [head + "/" + tail, head]
    elif "/" in name:
        forms.append(name.split("/", 1)[0])
    if name.startswith("Sankt "):
        forms.append("St. " + name[6:])
    elif name.startswith("St. "):
        forms.append("Sankt " + name[4:])
    return [f for f in forms if f and f != name]


def more_town_forms(name):
    """Forms typed beside town_forms(): dots without blanks ("St.Augustin",
    "Frankfurt a.M.", "Mülheim a.d.Ruhr"), "Sankt" and "St." either way, a
    hyphen as a blank."""
    forms = []
    for f in [name] + town_forms(name):
        if ". " in f:
            forms.append(f.replace(". ", "."))
            if " a. d. " in f:
                forms.append(f.replace(" a. d. ", " a.d. "))
        if f.startswith("St. "):
            forms += ["St." + f[4:], "St " + f[4:], "Sankt " + f[4:]]
        elif f.startswith("Sankt "):
            forms += ["St. " + f[6:], "St." + f[6:]]
    if " am Main" in name:
        head = name.split(" am Main", 1)[0]
        forms += [head + "/M.", head + " a/M", head + " a.Main"]
    if "-" in name and " " not in name:
        forms.append(name.replace("-", " "))
    seen = set(town_forms(name)) | {name}
    return [f for f in dict.fromkeys(forms) if f not in seen]


def is_east(plz):
    return plz[0] == "0" or plz[:2] in ("15", "16", "17", "18", "19", "39", "98", "99")


# ---------------------------------------------------------------------------
# Streets

STREET_STEMS = _words("""
Haupt Bahnhof Kirch Schul Garten Dorf Berg Wald Linden Birken Eichen Buchen Ahorn
Kastanien Tannen Rosen Tulpen Nelken Flieder Wiesen Feld Mühlen Brunnen Teich See Bach
Post Markt Schloss Burg Kloster Rathaus Friedhof Sport Hafen Turm Sonnen Stern Tal
Höhen Heide Moor Anger Lerchen Amsel Finken Drossel Meisen Schwalben Falken Mozart
Beethoven Schubert Händel Goethe Schiller Lessing Heine Uhland Herder Kant Luther
Bismarck Humboldt Kepler Röntgen Gutenberg Dürer Schumann Wieland Fontane Eichendorff
Körner Mörike Hölderlin Brahms Bach Wagner Kleist Grimm Bürger Ring Pfarr Kreuz Brücken
Graben Wall Mauer Tor Holz Sand Stein Weiden Erlen Ulmen Pappel Akazien Buchenhain
""")
STREET_ENDS = Weighted(("straße", "weg", "gasse", "allee", "platz", "ring", "damm", "ufer",
                        "steig", "pfad", "graben"), (58, 18, 4, 4, 3, 5, 2, 1, 1, 1, 1))
STREETS_TOWN_ADJ = _words("""
Berliner Hamburger Leipziger Dresdner Frankfurter Kölner Münchner Stuttgarter Bremer
Hannoversche Weimarer Hallesche Magdeburger Potsdamer Erfurter Nürnberger Augsburger
Lange Neue Alte Breite Hohe Große Kleine Obere Untere Mittlere Schmale Krumme
""")
STREETS_PHRASE = _items("""
Am Markt, Am Bahnhof, Am Anger, Am Sportplatz, Am Mühlbach, An der Kirche, Auf dem Berg,
Im Winkel, In den Gärten, Zum Sportplatz, Zur Mühle, Zum Eichenhain, Unter den Linden,
Hinter der Kirche, Alter Markt, Marktplatz, Kirchplatz, Am Stadtpark, Am Wasserturm,
Zum Lindenhof, Am Schlossgarten, Auf der Höhe, Im Grund, An den Tannen, Zur Linde,
Am Hang, Am Rain, Im Feld, Am Weiher, Zur Alten Schmiede, Am Lindenplatz, Rosengarten
""")
# Person streets: who, and whether the east names its streets so.
STREETS_PERSON = _items("""
Friedrich-Ebert, Konrad-Adenauer, Kurt-Schumacher, Theodor-Heuss, Albert-Schweitzer,
Geschwister-Scholl, Martin-Luther, Otto-Hahn, Robert-Koch, Max-Planck, Heinrich-Heine,
Walther-Rathenau, Wilhelm-Leuschner, Carl-Benz, Robert-Bosch, Gottlieb-Daimler,
Graf-Zeppelin, Bgm.-Schmidt, Dr.-Otto-Nuschke, Dr.-Karl-Renner, Dr.-Wilhelm-Külz,
Prof.-Dr.-Hans-Meyer, St.-Johannis, St.-Georg, Ernst-Reuter, Willy-Brandt, Rudolf-Diesel,
Wilhelm-Busch, Annette-Kolb, Käthe-Kollwitz, Bertha-von-Suttner, Fritz-Reuter,
Hans-Böckler, Carl-Zeiss, Ernst-Abbe, Justus-von-Liebig, Gustav-Stresemann, Werner-von-Siemens
""")
STREETS_PERSON_EAST = _items("""
Karl-Marx, Ernst-Thälmann, Rosa-Luxemburg, Karl-Liebknecht, Clara-Zetkin, August-Bebel,
Rudolf-Breitscheid, Thomas-Müntzer, Friedrich-Engels, Dr.-Salvador-Allende, Otto-Grotewohl
""")
STREETS_BUSINESS = _items("""
Industriestraße, Gewerbestraße, Im Gewerbepark, Gewerbepark Nord, Gewerbegebiet Süd,
Carl-Benz-Straße, Robert-Bosch-Straße, Daimlerstraße, Siemensstraße, Max-Planck-Straße,
Otto-Hahn-Straße, Am Hafen, Hafenstraße, Werkstraße, Ernst-Abbe-Straße, Zeppelinstraße,
Dieselstraße, Gutenbergstraße, Einsteinstraße, Röntgenstraße, An der Autobahn,
Im Technologiepark, Handwerkerstraße, Am Güterbahnhof, Industriering, Gewerbering
""")
# Abbreviations at the front of a street name and what they stand for.
STREET_ABBREVIATIONS = (("Dr.-", ("Doktor-", "Dr. ", "Dr-")), ("Prof.-", ("Professor-", "Prof. ")),
                        ("St.-", ("Sankt-", "St. ")), ("Bgm.-", ("Bürgermeister-", "Bgm. ")))
# Ways to write Straße, joined to its stem (Hauptstraße) or apart (Berliner Straße).
STRASSE_JOINED = ("straße", "str.", "strasse", "str", "Str.")
STRASSE_APART = ("Straße", "Str.", "Strasse", "str.", "Str")
STRASSE_FIRST = Weighted(range(5), (76, 16, 6, 1, 1))


# ---------------------------------------------------------------------------
# Companies

TRADES = _items("""
Autohaus, Bäckerei, Metzgerei, Fleischerei, Konditorei, Café, Gasthaus, Hotel, Apotheke,
Optik, Friseursalon, Blumenhaus, Gärtnerei, Malerbetrieb, Elektro, Elektrotechnik,
Sanitär, Heizungsbau, Sanitär- und Heizungstechnik, Dachdeckerei, Zimmerei, Tischlerei,
Schreinerei, Bauunternehmung, Baustoffe, Fliesen, Glaserei, Schlosserei, Metallbau,
Kfz-Werkstatt, Reifenservice, Fahrschule, Reisebüro, Versicherungsbüro, Steuerberatung,
Ingenieurbüro, Architekturbüro, Immobilien, Hausverwaltung, Gebäudereinigung,
Transporte, Spedition, Umzüge, Getränkehandel, Landhandel, Raumausstattung, Möbelhaus,
Küchenstudio, Schuhhaus, Modehaus, Juwelier, Buchhandlung, Druckerei, Pflegedienst,
Physiotherapie, Zahntechnik, Hörgeräte, Sanitätshaus, IT-Service, Werbeagentur,
Fotostudio, Weingut, Brauerei, Mühle, Sägewerk, Garten- und Landschaftsbau, Bestattungen,
Fahrradhaus, Schlüsseldienst, Steinmetz, Orthopädieschuhtechnik, Kälte- und Klimatechnik
""")
FIRM_PREFIXES = _words("""
Nord Süd West Ost Rhein Main Elb Spree Alster Isar Neckar Weser Ruhr Saale Harz Eifel
Taunus Allgäu Alpen Ostsee Nordsee Stern Sonnen Euro Inter Pro Top Multi Techno Data
Medi Öko Bio Prima Delta Alpha Omega Vita Terra Aqua Solar Global Trans Logi Mega Optima
Hansa Germania Bavaria Saxonia Thuringia Westfalia Frankonia Lausitz Erzgebirge Vogtland
""")
FIRM_NOUNS = _words("""
Bau Tech Technik Logistik Service Systeme Handel Immobilien Consulting Energie Medien
Druck Metall Holz Plan Invest Personal Pflege Reisen Garten Haus Montage Elektronik
Software Automation Verpackung Kunststoff Sicherheit Gebäudetechnik Fenster Dach Stahl
Transport Lebensmittel Getränke Möbel Küchen Textil Optik Dental Labor Werkzeug
Anlagenbau Umwelttechnik Gerüstbau Fördertechnik Messtechnik Lüftungsbau Gebäudeservice
""")
CLUBS = _items("""
Sportverein, Turnverein, Schützenverein, Musikverein, Gesangverein, Heimatverein,
Förderverein der Grundschule, Kleingartenverein, Tierschutzverein, Karnevalsverein,
Kulturverein, Reitverein, Tennisclub, Kegelclub, Verschönerungsverein, Bürgerverein,
Angelsportverein, Schachclub, Männergesangverein, Fußballclub
""")
CLUB_NAMES = _items("""
Eintracht, Germania, Concordia, Frohsinn, Harmonie, Blau-Weiß, Grün-Weiß, Rot-Weiß,
Viktoria, Fortuna, Borussia, Alemannia, Einigkeit, Liederkranz, Edelweiß, Gut Schuss
""")
DEPARTMENTS = _items("""
Einkauf, Buchhaltung, Verwaltung, Vertrieb, Geschäftsleitung, Lager, Personalabteilung,
Kundendienst, Rechnungsprüfung, Finanzbuchhaltung, Zentrale, Technik, Büro, Hauptverwaltung,
Materialwirtschaft, Kreditorenbuchhaltung, Qualitätssicherung, Warenannahme
""")

# Legal forms: share, canonical spelling and the spellings typed for it.
LEGAL_FORMS = (
    ("GmbH", 40, ("G.m.b.H.", "Gesellschaft mbH", "Gesellschaft mit beschränkter Haftung",
                  "Gmbh", "GMBH", "mbH", "")),
    ("GmbH & Co. KG", 13, ("GmbH & Co KG", "GmbH u. Co. KG", "GmbH + Co. KG", "GmbH&Co.KG",
                           "GmbH & Co.", "KG", "")),
    ("e.K.", 9, ("e. K.", "eK", "e.Kfm.", "e. Kfm.", "")),
    ("KG", 5, ("Kommanditgesellschaft", "K.G.", "")),
    ("AG", 3, ("Aktiengesellschaft", "A.G.", "")),
    ("OHG", 3, ("oHG", "o.H.G.", "")),
    ("GbR", 5, ("Gbr", "G.b.R.", "")),
    ("UG (haftungsbeschränkt)", 6, ("UG (haftungsbeschraenkt)", "UG (hb)", "UG",
                                    "Unternehmergesellschaft (haftungsbeschränkt)", "")),
    ("e.V.", 5, ("e. V.", "eV", "")),
    ("mbH", 2, ("GmbH", "m.b.H.")),
    ("eG", 1, ("e.G.", "")),
    ("", 8, ("e.K.", "GmbH")),
)
LEGAL_DRAW = Weighted(range(len(LEGAL_FORMS)), [f[1] for f in LEGAL_FORMS])
LEGAL_BY_NAME = {f[0]: f for f in LEGAL_FORMS}

# Kundengruppe codes and their shares.
GROUPS = Weighted(("A", "B", "C", "H", "P", "GK", "EH", "VIP"), (25, 25, 16, 8, 10, 7, 6, 3))

UMLAUTS = frozenset("äöüÄÖÜß")
TRANSLIT = str.maketrans({"ä": "ae", "ö": "oe", "ü": "ue", "Ä": "Ae", "Ö": "Oe", "Ü": "Ue",
                          "ß": "ss"})
TRANSLIT_UPPER = str.maketrans({"Ä": "AE", "Ö": "OE", "Ü": "UE"})
DOTS_LOST = str.maketrans({"ä": "a", "ö": "o", "ü": "u", "Ä": "A", "Ö": "O", "Ü": "U",
                           "ß": "ss"})
# Keys next to each other on a German keyboard.
QWERTZ_ROWS = ("qwertzuiopü", "asdfghjklöä", "yxcvbnm")
NEIGHBOURS = {}
for _r, _row in enumerate(QWERTZ_ROWS):
    for _i, _ch in enumerate(_row):
        near = [_row[j] for j in (_i - 1, _i + 1) if 0 <= j < len(_row)]
        for _other in (_r - 1, _r + 1):
            if 0 <= _other < len(QWERTZ_ROWS):
                near += [QWERTZ_ROWS[_other][j] for j in (_i - 1, _i)
                         if 0 <= j < len(QWERTZ_ROWS[_other])]
        NEIGHBOURS[_ch] = "".join(near)


def fold(name):
    """name without accents, umlauts as vowels: the same for spellings of one name."""
    return "".join(ch for ch in unicodedata.normalize("NFKD", name.translate(DOTS_LOST))
                   if not unicodedata.combining(ch)).lower().replace("ı", "i")


def has_umlaut(text):
    return not UMLAUTS.isdisjoint(text)


# ---------------------------------------------------------------------------
# The chance of each kind of difference in one duplicate, where it can apply.
# A duplicate gets every kind its roll hits, at most three; one that hits none
# becomes a plain re-entry (case, blanks or an unkeyed field changed).

VARIATIONS = (
    ("case", 0.20), ("blanks", 0.14), ("street", 0.16), ("typo", 0.18), ("umlaut", 0.17),
    ("title", 0.08), ("swap", 0.07), ("layout", 0.04), ("legal", 0.15), ("plz_typo", 0.055),
    ("plz_excel", 0.35), ("missing", 0.06), ("such", 0.08), ("ort", 0.25), ("alike", 0.20),
    ("firm_words", 0.08), ("other", 0.08),
)
TEXT_VARIATIONS = frozenset(("case", "blanks", "umlaut", "typo", "reading"))
# How many more records a customer with duplicates gets.
EXTRA_COPIES = Weighted((1, 2, 3), (72, 20, 8))
MEAN_EXTRA = (72 * 1 + 20 * 2 + 8 * 3) / 100
# Chance that an original gets a look-alike that is another customer.
HARD_NEGATIVES = {"family": 0.05, "junior": 0.012, "namesake": 0.02, "same_address": 0.06,
                  "owner": 0.03}  # junior: of men; owner: of trade firms

# --hard-cases all: the differences that real re-entries add to the above,
# each with its chance where it applies.
HARD_VARIATIONS = (("number_range", 0.06), ("reading", 0.06), ("town_form", 0.30),
                   ("first_name_variant", 0.15))
VARIATIONS_ALL = VARIATIONS + HARD_VARIATIONS
# The neighbours of real files and the chance that an original gets one.
# Persons: household, building, namesake, junior (of men), owner (a firm
# named after them). Firms: same_address, branch, owner (of trade firms: the
# person beside "Autohaus Dietz"). About 8,000 firm/owner pairs in 236,000
# records; households and neighbours in one building are the commonest.
HARD_NEGATIVES_ALL = {"household": 0.10, "building": 0.08, "namesake": 0.02, "junior": 0.025,
                      "owner": 0.068, "same_address": 0.08, "branch": 0.05, "owner_of_trade": 0.03}
LOOK_ALIKE_KINDS = ("household", "building", "namesake", "junior", "owner", "same_address",
                    "branch")

# First names that look alike but belong to different people of one household.
LOOK_ALIKE_FIRST = [_items(g) for g in (
    "Jan,Jana", "Daniel,Daniela", "Michael,Michaela", "Paul,Paula", "Andreas,Andrea",
    "Simon,Simone", "Christian,Christiane,Christina", "Frederike,Marieke", "Heike,Heiko",
    "Lena,Lea,Lina", "Julia,Julian", "Karin,Katrin", "Sabine,Sabrina", "Petra,Peter",
    "Leon,Leonie", "Marion,Martina", "Nils,Nina", "Tim,Tom", "Maria,Mario",
    "Jens,Jana", "Manuel,Manuela", "Carsten,Carmen", "Ole,Ola", "Gerd,Gerda",
    "Hans,Hanna", "Uwe,Ute", "Elli,Ella", "Kai,Kim", "Dirk,Doris", "Sven,Svenja",
    "Franz,Franziska", "Luis,Luisa", "Emil,Emilia,Emily", "Ralf,Rolf", "Mia,Mila")]
LOOK_ALIKE_FIRST_OF = {}
for _group in LOOK_ALIKE_FIRST:
    for _name in _group:
        LOOK_ALIKE_FIRST_OF.setdefault(_name, [n for n in _group if n != _name])
FIRST_FEMALE_EXTRA = _items("Jana,Daniela,Michaela,Paula,Christiane,Frederike,Marieke,Simone,"
                            "Leonie,Lina,Martina,Ute,Ella,Elli,Luisa,Emilia,Mila,Hanna,Gerda,"
                            "Franziska,Kim,Ola,Maria,Doris,Emily")

# Spellings and short forms of one first name that a re-entry uses.
FIRST_VARIANTS = {}
for _group in (
        "Katrin,Kathrin,Catrin", "Katharina,Katarina,Catharina,Kathi", "Hans-Peter,H.-P.,"
        "Hanspeter,Hans Peter", "Karl-Heinz,K.-H.,Karlheinz,Karl Heinz,Carl-Heinz",
        "Klaus-Dieter,K.-D.,Klaus Dieter", "Hans-Jürgen,H.-J.,Hans Jürgen,Hansjürgen",
        "Anna-Lena,Anna Lena,Annalena", "Anne-Marie,Annemarie,Anne Marie",
        "Marie-Luise,Marieluise,Marie Luise,M.-L.", "Claudia,Klaudia", "Carsten,Karsten",
        "Kai,Kay", "Ralf,Ralph", "Stefan,Stephan", "Christoph,Christof", "Rainer,Reiner",
        "Detlef,Detlev", "Sven,Swen", "Marc,Mark", "Matthias,Mathias", "Philipp,Philip",
        "Helmut,Helmuth", "Günter,Günther", "Walter,Walther", "Josef,Joseph,Sepp",
        "Elisabeth,Elisabet,Elli,Lisa", "Nicole,Nikole", "Stefanie,Stephanie,Steffi",
        "Tatjana,Tatiana", "Natalia,Natalja", "Swetlana,Svetlana", "Sergej,Sergei",
        "Alexej,Alexei", "Wladimir,Vladimir", "Andrej,Andrei", "Viktor,Victor", "Artur,Arthur",
        "Gerd,Gert", "Yvonne,Ivonne", "Jessica,Jessika", "Christina,Kristina,Tina",
        "Christine,Kristine", "Alexander,Alex", "Maximilian,Max", "Christian,Chris,Kristian",
        "Michael,Micha", "Gabriele,Gabi,Gaby", "Franziska,Franzi", "Johanna,Hanna",
        "Susanne,Susi", "Heinrich,Heinz", "Wilhelm,Willi", "Friedrich,Fritz",
        "Johannes,Hans", "Margarete,Grete", "Dorothea,Dora", "Karl,Carl", "Eduard,Edward",
        "Frederike,Friederike", "Dmitri,Dmitrij", "Mehmet,Mehmed", "Hüseyin,Huseyin",
        "Ayşe,Ayse", "Krzysztof,Christoph", "Małgorzata,Malgorzata", "Annette,Anette",
        "Klaus,Claus", "Torsten,Thorsten", "Markus,Marcus", "Bernhard,Bernd", "Gerhard,Gerd",
        "Joachim,Achim", "Reinhard,Reinhart", "Kurt,Curt", "Willi,Willy", "Nils,Niels",
        "Marco,Marko", "Patrick,Patrik", "Dennis,Denis", "Lukas,Lucas", "Finn,Fynn",
        "Niklas,Nicklas,Niclas", "Dominik,Dominic", "Tobias,Tobi", "Monika,Monica",
        "Karin,Carin", "Christa,Krista", "Birgit,Birgitt", "Angelika,Angelica", "Erika,Erica",
        "Gertrud,Gertraud", "Waltraud,Waltraut", "Tanja,Tania", "Sarah,Sara", "Hannah,Hanna",
        "Lea,Leah", "Sophie,Sofie", "Sonja,Sonia", "Silvia,Sylvia", "Cornelia,Conny",
        "Charlotte,Lotte", "Lieselotte,Liselotte", "Margarete,Margarethe", "Hildegard,Hilde",
        "Inge,Ingeborg", "Rosemarie,Rosi", "Ursula,Uschi", "Brigitte,Gitte",
        "Anneliese,Annelise", "Heinz,Heinrich", "Ulrich,Ulli", "Jan,Johann"):
    _names = _items(_group)
    for _name in _names:
        FIRST_VARIANTS.setdefault(_name, []).extend(n for n in _names if n != _name)

# Characters that a reading (OCR) of a printed or faxed form confuses, each
# way; "rn" and "m" as one.
READING_SWAPS = (("0", "O"), ("O", "0"), ("1", "l"), ("1", "I"), ("l", "1"), ("I", "1"),
                 ("l", "I"), ("l", "i"), ("i", "l"), ("rn", "m"), ("m", "rn"), ("5", "S"),
                 ("S", "5"), ("8", "B"), ("B", "8"), ("o", "0"))
# Which field an OCR error is in, by weight: PLZ, Ort, Straße, Bez1, Bez2.
READING_FIELDS = Weighted((0, 1, 2, 4, 5), (20, 8, 30, 36, 6))

# Legal forms of a firm named after its owner ("Dietz GmbH & Co. KG").
OWNER_FORMS = Weighted(("GmbH", "GmbH & Co. KG", "UG (haftungsbeschränkt)", "e.K.", "KG",
                        "OHG", "GbR"), (40, 18, 14, 14, 5, 4, 5))
# Firm words in front of the owner's name, without a legal form.
OWNER_WORDS = _items("""
Autohaus, Praxis Dr., Bäckerei, Kanzlei, Metzgerei, Malerbetrieb, Zahnarztpraxis Dr.,
Steuerberatung, Friseursalon, Elektro, Fahrschule, Blumenhaus, Physiotherapie, Tischlerei,
Rechtsanwalt, Versicherungsbüro, Dachdeckerei, Immobilien, Ingenieurbüro, Architekturbüro
""")


class Customer:
    """One real customer: the parts its records are rendered from."""

    __slots__ = ("kind", "plz", "town", "ort", "street", "joined", "strasse", "number",
                 "number_style", "group", "bez2", "bez3", "bez4", "such", "such_style",
                 "title", "title_in_bez1", "first", "last", "layout", "swap", "sex",
                 "name", "trade", "form", "form_text", "family_first")

    def copy(self):
        other = Customer.__new__(Customer)
        for slot in Customer.__slots__:
            setattr(other, slot, getattr(self, slot))
        return other


class Maker:
    """Draws customers, their look-alikes and their duplicates from one random
    stream."""

    def __init__(self, rng, hard_cases="classic"):
        self.rng = rng
        self.hard_cases = hard_cases
        self.variations = VARIATIONS if hard_cases == "classic" else VARIATIONS_ALL
        self.variation_order = {name: i for i, (name, _) in enumerate(self.variations)}
        german = Weighted(SURNAMES_RANKED,
                          [(rank + 1) ** -0.62 for rank in range(len(SURNAMES_RANKED))])
        self.surname_sources = Weighted(
            (german, "tail", SURNAMES_TURKISH, SURNAMES_POLISH, SURNAMES_ITALIAN,
             SURNAMES_RUSSIAN, SURNAMES_BALKAN_GREEK),
            (55, 27, 5, 4, 2.5, 4, 2.5))
        self.male = Weighted(FIRST_MALE, [(i + 4) ** -0.5 for i in range(len(FIRST_MALE))])
        self.female = Weighted(FIRST_FEMALE, [(i + 4) ** -0.5 for i in range(len(FIRST_FEMALE))])
        self.umlaut_surnames = Weighted(
            [n for n in SURNAMES_RANKED if has_umlaut(n)],
            [(rank + 1) ** -0.62 for rank, n in enumerate(SURNAMES_RANKED) if has_umlaut(n)])
        self.applies = {
            "case": lambda c: True, "blanks": lambda c: True, "street": lambda c: True,
            "typo": lambda c: True, "umlaut": self._has_umlaut, "title": lambda c: c.kind == "P",
            "swap": lambda c: c.kind == "P", "layout": lambda c: c.kind == "P",
            "legal": lambda c: c.kind == "C", "plz_typo": lambda c: True,
            "plz_excel": lambda c: c.plz[0] == "0", "missing": lambda c: True,
            "such": lambda c: True, "ort": lambda c: bool(town_forms(c.ort)),
            "alike": lambda c: (c.last in ALIKE or c.first in ALIKE) if c.kind == "P"
            else c.name.split(" ")[-1] in ALIKE,
            "firm_words": lambda c: c.kind == "C", "other": lambda c: True,
            "number_range": lambda c: not c.number[1],
            "reading": lambda c: True,
            "town_form": lambda c: bool(town_forms(c.town) or more_town_forms(c.town)),
            "first_name_variant": lambda c: c.kind == "P" and bool(c.first),
        }
        # Surnames by their first three letters, for names that look alike.
        self.by_prefix = {}
        for name in (SURNAMES_RANKED + SURNAMES_TURKISH + SURNAMES_POLISH + SURNAMES_ITALIAN
                     + SURNAMES_RUSSIAN + SURNAMES_BALKAN_GREEK):
            self.by_prefix.setdefault(name[:3].lower(), []).append(name)
        self.by_fold = {}
        for names in self.by_prefix.values():
            for name in names:
                self.by_fold.setdefault(fold(name), []).append(name)

    # -- names ---------------------------------------------------------------

    def surname(self):
        source = self.surname_sources.draw(self.rng)
        if source == "tail":
            r = self.rng
            stem, end = r.choice(TAIL_STEMS), r.choice(TAIL_ENDS)
            if stem[-1] == end[0]:
                end = end[1:]
            return stem + end
        if isinstance(source, Weighted):
            return source.draw(self.rng)
        return self.rng.choice(source)

    def title(self, sex):
        title = TITLES.draw(self.rng)
        if sex == "m":
            return "Dipl.-Kfm." if title == "Dipl.-Kffr." else title
        return "Dipl.-Kffr." if title == "Dipl.-Kfm." else title

    def first_name(self, sex):
        return (self.male if sex == "m" else self.female).draw(self.rng)

    # -- addresses -----------------------------------------------------------

    def place(self, c):
        r = self.rng
        name, low, high, _ = TOWNS[TOWN_DRAW.draw(r)]
        c.town = name
        c.ort = name
        c.plz = "%05d" % r.randint(low, high)

    def street(self, c, business=False):
        r = self.rng
        roll = r.random()
        if business and roll < 0.45:
            text = r.choice(STREETS_BUSINESS)
            if text.endswith("straße"):
                c.strasse, c.joined = text[:-6], (text[-7] != "-")
                c.street = None
            else:
                c.street, c.strasse, c.joined = text, None, False
        elif roll < 0.50:
            stem = r.choice(STREET_STEMS)
            end = STREET_ENDS.draw(r)
            if end == "straße":
                c.street, c.strasse, c.joined = None, stem, True
            else:
                c.street, c.strasse, c.joined = stem + end, None, False
        elif roll < 0.68:
            c.street, c.strasse, c.joined = None, r.choice(STREETS_TOWN_ADJ), False
        elif roll < 0.84:
            people = STREETS_PERSON
            if is_east(c.plz) and r.random() < 0.35:
                people = STREETS_PERSON_EAST
            who = r.choice(people)
            end = r.random()
            if end < 0.8:
                c.street, c.strasse, c.joined = None, who + "-", False
            else:
                c.street = who + "-" + r.choice(("Platz", "Ring", "Allee", "Weg"))
                c.strasse, c.joined = None, False
        else:
            c.street, c.strasse, c.joined = r.choice(STREETS_PHRASE), None, False
        # House numbers are mostly small; some carry a letter or span a range.
        n = int(r.random() ** 2.2 * 160) + 1
        roll = r.random()
        if roll < 0.09:
            c.number = (n, r.choice("abcd"), 0)
        elif roll < 0.12:
            c.number = (n, "", n + r.choice((1, 2, 2, 4)))
        else:
            c.number = (n, "", 0)
        c.number_style = 0 if r.random() < 0.85 else r.randint(1, 3)
        c.family_first = STRASSE_FIRST.draw(r)

    # -- customers -----------------------------------------------------------

    def person(self):
        r = self.rng
        c = Customer()
        c.kind = "P"
        self.place(c)
        self.street(c)
        c.sex = "m" if r.random() < 0.52 else "f"
        c.last = self.surname()
        if r.random() < 0.03:
            c.last += "-" + self.surname()  # double name after marriage
        c.first = self.first_name(c.sex)
        if r.random() < 0.03:
            c.first += " " + self.first_name(c.sex)  # a second given name
        c.title = self.title(c.sex) if r.random() < 0.07 else ""
        c.title_in_bez1 = r.random() < 0.4
        roll = r.random()
        c.layout = "split" if roll < 0.78 else ("full" if roll < 0.94 else "comma")
        c.swap = False
        c.name = c.trade = c.form = c.form_text = None
        c.bez2 = ""
        roll = r.random()
        c.bez3 = ""
        if roll < 0.04:
            c.bez3 = "c/o " + self.surname()
        elif roll < 0.08:
            c.bez3 = r.choice(("Hinterhaus", "2. OG", "Seitenflügel", "Whg. %d" % r.randint(1, 40),
                               "Erdgeschoss links", "bei " + self.surname()))
        c.bez4 = "Kd.-Nr. %d" % r.randint(1000, 99999) if r.random() < 0.03 else ""
        c.such = None
        roll = r.random()
        c.such_style = 0 if roll < 0.8 else (1 if roll < 0.92 else 2)
        c.group = GROUPS.draw(r)
        return c

    def company(self):
        r = self.rng
        c = Customer()
        c.kind = "C"
        self.place(c)
        self.street(c, business=True)
        c.title = ""
        c.title_in_bez1 = False
        c.first = c.last = c.sex = None
        c.layout = None
        c.swap = False
        form = LEGAL_FORMS[LEGAL_DRAW.draw(r)]
        c.form = form[0]
        roll = r.random()
        c.trade = ""
        if c.form == "e.V.":
            club = r.choice(CLUBS)
            if club.startswith("Förderverein"):
                c.name = club
            else:
                c.name = club + " " + r.choice(CLUB_NAMES) + (" %d" % r.randint(1860, 1990)
                                                             if r.random() < 0.5 else "")
            c.such = c.name.split(" ")[0]
        elif roll < 0.38:
            last = self.surname()
            c.trade = r.choice(TRADES)
            c.name = c.trade + " " + last
            c.such = last
        elif roll < 0.58:
            last = self.surname()
            c.name = last
            if r.random() < 0.3:
                c.name += r.choice((" & ", " und ", " & ")) + self.surname()
            elif r.random() < 0.2:
                c.name += " & Söhne"
            c.such = last
        elif roll < 0.68:
            first, last = self.first_name("m" if r.random() < 0.7 else "f"), self.surname()
            c.trade = r.choice(TRADES)
            c.name = first + " " + last + " " + c.trade
            c.such = last
        elif roll < 0.73:
            last = self.surname()
            c.name = r.choice(("Zahnarztpraxis Dr.", "Praxis Dr. med.", "Tierarztpraxis Dr.",
                               "Rechtsanwälte", "Steuerkanzlei", "Kanzlei Dr.")) + " " + last
            c.such = last
            c.form = "" if r.random() < 0.7 else c.form
        elif roll < 0.77:
            inn = r.choice(("Zur Post", "Zum Löwen", "Zur Linde", "Zur Krone", "Sonne",
                            "Zum Hirschen", "Am See", "Il Gabbiano", "Bella Italia"))
            c.name = r.choice(("Gasthof", "Hotel", "Restaurant", "Landgasthof")) + ' "' + inn + '"'
            c.such = inn
            c.form = "" if r.random() < 0.6 else c.form
        else:
            noun = r.choice(FIRM_NOUNS)
            if r.random() < 0.15:
                head = "".join(r.choice("ABDEGHKLMNPRSTW") for _ in range(r.randint(2, 4)))
            else:
                head = r.choice(FIRM_PREFIXES)
            roll = r.random()
            if roll < 0.6:
                c.name = head + " " + noun
            elif roll < 0.85:
                c.name = head + noun.lower()
            else:
                c.name = head + noun  # "SolarTechnik"
            c.such = head
        form = LEGAL_BY_NAME[c.form]
        c.form_text = c.form if r.random() < 0.9 else r.choice(form[2])
        roll = r.random()
        if roll < 0.45:
            c.bez2 = ""
        elif roll < 0.77:
            c.bez2 = r.choice(DEPARTMENTS)
        elif roll < 0.85:
            c.bez2 = "Inh. " + self.first_name("m") + " " + self.surname()
        elif roll < 0.93:
            c.bez2 = r.choice(("Niederlassung ", "Filiale ", "Werk ", "Standort ")) + \
                r.choice(("Nord", "Süd", "2", "Ost", TOWNS[TOWN_DRAW.draw(r)][0]))
        else:
            c.bez2 = "z. Hd. " + r.choice(("Herrn ", "Frau ")) + self.surname()
        roll = r.random()
        c.bez3 = ""
        if roll < 0.1:
            c.bez3 = "z. Hd. " + r.choice(("Herrn ", "Frau ")) + self.surname()
        elif roll < 0.16:
            c.bez3 = r.choice(("Gebäude B", "Tor 3", "Halle 2; Rampe 4", "Eingang Rückseite",
                               'Lager "Süd"', "Hintereingang"))
        c.bez4 = ""
        if r.random() < 0.1:
            c.bez4 = "Postfach %d %02d %02d" % (r.randint(1, 99), r.randint(0, 99), r.randint(0, 99))
        elif r.random() < 0.03:
            c.bez4 = "USt-IdNr. DE%09d" % r.randint(100000000, 999999999)
        c.such_style = 0 if r.random() < 0.85 else 1
        c.group = GROUPS.draw(r)
        return c

    def customer(self):
        c = self.person() if self.rng.random() < 0.65 else self.company()
        if self.hard_cases != "classic" and self.rng.random() < 0.12:
            # Some originals already carry a short form of their town.
            forms = town_forms(c.town) + more_town_forms(c.town)
            if forms:
                c.ort = self.rng.choice(forms)
        return c

    # -- rendering -----------------------------------------------------------

    @staticmethod
    def street_text(c):
        if c.street is not None:
            name = c.street
        elif c.joined:
            name = c.strasse + STRASSE_JOINED[c.family_first]
        elif c.strasse.endswith("-"):
            word = STRASSE_APART[c.family_first]
            name = c.strasse + (word[0].upper() + word[1:])
        else:
            name = c.strasse + " " + STRASSE_APART[c.family_first]
        n, letter, to = c.number
        style = c.number_style
        if to:
            number = "%d%s%d" % (n, ("-", " - ", "/", "-")[style], to)
        elif letter:
            number = "%d%s%s" % (n, ("", " ", "", " ")[style],
                                 letter.upper() if style >= 2 else letter)
        else:
            number = str(n)
        return name + " " + number

    @staticmethod
    def render(c):
        if c.kind == "P":
            title = c.title + " " if c.title else ""
            if c.layout == "split":
                if c.title_in_bez1:
                    bez1, bez2 = title + c.last, c.first
                else:
                    bez1, bez2 = c.last, title + c.first
                if c.swap:
                    bez1, bez2 = bez2, bez1
            elif c.layout == "full":
                bez1 = title + ((c.last + " " + c.first) if c.swap else (c.first + " " + c.last))
                bez2 = ""
            else:
                if c.swap:
                    bez1 = title + c.first + " " + c.last
                else:
                    bez1 = c.last + ", " + title + c.first
                bez2 = ""
            if c.such is not None:
                such = c.such
            elif c.such_style == 0:
                such = upper_de(c.last)
            elif c.such_style == 1:
                such = upper_de(c.last + " " + c.first)
            else:
                such = upper_de(c.last.replace(" ", "")[:8] + c.first[:2])
        else:
            bez1 = c.name + (" " + c.form_text if c.form_text else "")
            bez2 = c.bez2
            such = upper_de(c.such if c.such_style == 0 else c.name)
        return [c.plz, c.ort, Maker.street_text(c), such, bez1, bez2, c.bez3, c.bez4, c.group]

    # -- hard non-duplicates ---------------------------------------------------

    def look_alikes(self, c):
        """Other customers that a key may take for this one."""
        if self.hard_cases == "none":
            return []
        if self.hard_cases == "all":
            return self.hard_look_alikes(c)
        r = self.rng
        out = []
        if c.kind == "P":
            if r.random() < HARD_NEGATIVES["family"]:
                o = c.copy()
                o.sex = "m" if r.random() < 0.5 else "f"
                o.first = self.first_name(o.sex)
                while o.first == c.first:
                    o.first = self.first_name(o.sex)
                o.title = "" if r.random() < 0.8 else c.title
                o.bez3, o.bez4, o.group = "", "", GROUPS.draw(r)
                out.append(("family", o))
            if c.sex == "m" and r.random() < HARD_NEGATIVES["junior"]:
                o = c.copy()
                o.first = c.first + (" jun." if r.random() < 0.7 else " junior")
                o.title, o.bez4, o.group = "", "", GROUPS.draw(r)
                out.append(("junior", o))
            if r.random() < HARD_NEGATIVES["namesake"]:
                o = c.copy()
                low, high = next((t[1], t[2]) for t in TOWNS if t[0] == c.town)
                o.plz = "%05d" % r.randint(low, high)
                self.street(o)
                o.title, o.bez3, o.bez4, o.group = "", "", "", GROUPS.draw(r)
                out.append(("namesake", o))
        else:
            if r.random() < HARD_NEGATIVES["same_address"]:
                o = self.company()
                o.plz, o.town, o.ort = c.plz, c.town, c.ort
                o.street, o.strasse, o.joined, o.family_first = (c.street, c.strasse, c.joined,
                                                                 c.family_first)
                o.number, o.number_style = c.number, c.number_style
                out.append(("same_address", o))
            if c.trade and c.such and r.random() < HARD_NEGATIVES["owner"]:
                o = self.person()
                o.plz, o.town, o.ort = c.plz, c.town, c.ort
                o.street, o.strasse, o.joined, o.family_first = (c.street, c.strasse, c.joined,
                                                                 c.family_first)
                o.number, o.number_style = c.number, c.number_style
                o.last = c.such
                out.append(("owner", o))
        return out

    @staticmethod
    def _same_address(o, c):
        o.plz, o.town, o.ort = c.plz, c.town, c.ort
        o.street, o.strasse, o.joined, o.family_first = (c.street, c.strasse, c.joined,
                                                         c.family_first)
        o.number, o.number_style = c.number, c.number_style

    def look_alike_surname(self, name):
        """Another surname that starts like name ("Kühnke", "Kühnel"; "Frank",
        "Franke"), never one of its spellings."""
        r = self.rng
        spellings = set(ALIKE.get(name, ())) | {name}
        spellings.update(self.by_fold.get(fold(name), ()))  # "Woźniak" is "Wozniak"
        others = [n for n in self.by_prefix.get(name[:3].lower(), ()) if n not in spellings]
        if others and r.random() < 0.7:
            return r.choice(others)
        stems = [stem for stem in TAIL_STEMS if name.startswith(stem) and len(name) > len(stem)]
        if stems:
            stem = max(stems, key=len)
            ends = [e for e in TAIL_ENDS if stem + e not in spellings and stem[-1] != e[0]]
            return stem + r.choice(ends)  # "Tannhammer", "Tannhuber"
        if others:
            return r.choice(others)
        others = [n for key, names in self.by_prefix.items() if key[:2] == name[:2].lower()
                  for n in names if n not in spellings]
        return r.choice(others) if others else self.surname()

    def look_alike_first(self, first, sex):
        """A first name of another member of the household, sometimes one that
        looks like first ("Jan", "Jana"; "Frederike", "Marieke")."""
        r = self.rng
        head = first.split(" ")[0]
        alike = [n for n in LOOK_ALIKE_FIRST_OF.get(head, ())
                 if n not in FIRST_VARIANTS.get(head, ())]
        if alike and r.random() < 0.4:
            return r.choice(alike)
        other_sex = "m" if r.random() < 0.5 else "f"
        name = self.first_name(other_sex)
        while name == head or name in FIRST_VARIANTS.get(head, ()):
            name = self.first_name(other_sex)
        return name

    def owner_firm(self, c):
        """The firm of person c at c's address, named after c."""
        r = self.rng
        o = self.company()
        self._same_address(o, c)
        last = c.last.split("-")[0] if r.random() < 0.2 else c.last
        o.trade = ""
        if r.random() < 0.65:
            o.name, o.form = last, OWNER_FORMS.draw(r)
            # Another spelling of the form, never none: a bare "Dietz" would be the person.
            o.form_text = o.form if r.random() < 0.9 else \
                r.choice([f for f in LEGAL_BY_NAME[o.form][2] if f])
        else:
            word = r.choice(OWNER_WORDS)
            o.name, o.form, o.form_text = word + " " + last, "", ""
            o.trade = word
        o.such, o.such_style = last, 0
        roll = r.random()
        if roll < 0.5:
            o.bez2 = ""
        elif roll < 0.7:
            o.bez2 = "z. Hd. " + ("Herrn " if c.sex == "m" else "Frau ") + \
                (c.first + " " if r.random() < 0.4 else "") + c.last
        elif roll < 0.88:
            o.bez2 = r.choice(("Buchhaltung", "Büro", "Verwaltung", "Geschäftsleitung"))
        else:
            o.bez2 = "Inh. " + c.first + " " + c.last
        o.bez3 = o.bez4 = ""
        # The person beside it as most files hold people: "Dietz | Elli".
        c.layout, c.title_in_bez1 = "split", True
        return o

    def hard_look_alikes(self, c):
        r = self.rng
        chance = HARD_NEGATIVES_ALL
        out = []
        if c.kind == "P":
            if r.random() < chance["household"]:
                o = c.copy()
                o.first = self.look_alike_first(c.first, c.sex)
                o.sex = "f" if o.first in FIRST_FEMALE or o.first in FIRST_FEMALE_EXTRA else "m"
                o.title = "" if r.random() < 0.8 else c.title
                o.such = None
                o.bez3, o.bez4, o.group = "", "", GROUPS.draw(r)
                out.append(("household", o))
            if r.random() < chance["building"]:
                o = self.person()
                self._same_address(o, c)
                n, letter, to = c.number
                if letter:
                    o.number = (n, r.choice([x for x in "abcd" if x != letter]), 0)
                elif not to and r.random() < 0.25:
                    o.number = (n, r.choice("ab"), 0)  # "5" and "5a": the rear building
                if r.random() < 0.2:
                    o.last = self.look_alike_surname(c.last)
                while o.last == c.last:
                    o.last = self.surname()
                while o.first == c.first:
                    o.first = self.first_name(o.sex)
                out.append(("building", o))
            if r.random() < chance["namesake"]:
                o = c.copy()
                low, high = next((t[1], t[2]) for t in TOWNS if t[0] == c.town)
                o.plz = "%05d" % r.randint(low, high)
                self.street(o)
                o.title, o.bez3, o.bez4, o.group = "", "", "", GROUPS.draw(r)
                out.append(("namesake", o))
            if c.sex == "m" and " " not in c.first and r.random() < chance["junior"]:
                if c.layout == "full":
                    c.layout = "split"  # not "Rainer jun. Müller"
                o = c.copy()
                roll = r.random()
                # Both marked, or only the son, or only the father.
                if roll < 0.75:
                    o.first = c.first + " " + r.choice(("jun.", "jun.", "jr.", "junior"))
                if roll >= 0.45:
                    c.first = c.first + " " + r.choice(("sen.", "sen.", "sr.", "senior"))
                o.title, o.bez4, o.group = "", "", GROUPS.draw(r)
                o.such = None
                out.append(("junior", o))
            if r.random() < chance["owner"]:
                out.append(("owner", self.owner_firm(c)))
            return out
        if r.random() < chance["same_address"]:
            roll = r.random()
            if roll < 0.35:
                o = self.company()
            elif roll < 0.6:
                # Two firms of one form: "Schelk GmbH", "Schwatlo GmbH".
                o = self.company()
                o.name = self.look_alike_surname(c.such) if c.such and r.random() < 0.5 \
                    else self.surname()
                o.such, o.trade = o.name, ""
                o.form, o.form_text = c.form, c.form_text
            else:
                # A person at the firm's address: "Mordhorst GmbH" and
                # "Seibold | Dr. M."; "Kühnke" and "Kühnel | Kalle".
                o = self.person()
                if roll < 0.8:
                    if r.random() < 0.5:
                        o.first = o.first[0] + "."
                        o.title = o.title or "Dr."
                        o.title_in_bez1 = False
                elif c.such:
                    o.last = self.look_alike_surname(c.such.split(" ")[0])
                o.layout = "split"
            self._same_address(o, c)
            out.append(("same_address", o))
        if r.random() < chance["branch"]:
            o = c.copy()
            if r.random() < 0.6:
                low, high = next((t[1], t[2]) for t in TOWNS if t[0] == c.town)
                o.plz = "%05d" % r.randint(low, high)
            else:
                self.place(o)
            self.street(o, business=True)
            roll = r.random()
            if roll < 0.4:
                o.bez2 = r.choice(("Niederlassung ", "Filiale ", "Werk ", "Standort ",
                                   "Zweigstelle ")) + r.choice(("Nord", "Süd", "2", o.town))
            elif roll < 0.6:
                o.bez2 = r.choice(DEPARTMENTS)
            o.bez3, o.bez4 = "", ""
            out.append(("branch", o))
        if c.trade and c.such and r.random() < chance["owner_of_trade"]:
            # "Autohaus Dietz" beside "Dietz | Elli".
            o = self.person()
            self._same_address(o, c)
            o.last = c.such
            o.layout, o.title_in_bez1 = "split", True
            out.append(("owner", o))
        return out

    # -- duplicates -----------------------------------------------------------

    def _has_umlaut(self, c):
        return any(has_umlaut(v) for v in self.render(c)[1:8])

    def duplicate(self, c):
        """A re-entry of customer c: its values and the kinds of difference
        that changed them."""
        r = self.rng
        applies = self.applies
        chosen = [name for name, chance in self.variations
                  if r.random() < chance and applies[name](c)]
        if len(chosen) > 3:
            r.shuffle(chosen)
            chosen = chosen[:3]
        if not chosen:
            chosen = [r.choice(("case", "case", "blanks", "other"))]
        # Changes of the parts first, then changes of the typed text.
        chosen.sort(key=lambda n: (n in TEXT_VARIATIONS, self.variation_order[n]))
        d = c.copy()
        original = self.render(c)
        rec = original
        done = []
        for name in chosen:
            if name in TEXT_VARIATIONS:
                before = rec
                rec = list(rec)
                getattr(self, "vary_" + name)(d, rec)
            else:
                before = rec
                getattr(self, "vary_" + name)(d, None)
                rec = self.render(d)
            if rec != before:
                done.append(name)
        # A re-entry that came out the same is typed in capitals at least.
        for i in (4, 2, 1, 5):
            if rec != original:
                break
            rec = list(rec)
            rec[i] = upper_de(rec[i]) if rec[i] != upper_de(rec[i]) else rec[i].lower()
            if rec != original:
                done.append("case")
        if rec == original:
            rec = list(rec)
            rec[4] += " "
            done.append("blanks")
        if self.hard_cases != "classic":
            done = list(dict.fromkeys(done))  # the tag counts the changes
        return rec, done

    def _freeze_such(self, d):
        # A matchcode typed by hand does not follow a later change of the name.
        if d.such_style is not None and self.rng.random() < 0.35 and d.kind == "P":
            d.such = self.render(d)[3]

    def vary_plz_typo(self, d, rec):
        r = self.rng
        digits = list(d.plz)
        if r.random() < 0.35:
            i = r.randrange(len(digits) - 1)
            if digits[i] == digits[i + 1]:
                return False
            digits[i], digits[i + 1] = digits[i + 1], digits[i]
        else:
            i = r.choice((1, 2, 3, 3, 4, 4, 4))
            digits[i] = r.choice([x for x in "0123456789" if x != digits[i]])
        d.plz = "".join(digits)
        return True

    def vary_plz_excel(self, d, rec):
        d.plz = d.plz.lstrip("0") if d.plz[0] == "0" else d.plz
        return True

    def vary_title(self, d, rec):
        r = self.rng
        if d.title:
            forms = TITLE_FORMS.get(d.title, ())
            d.title = r.choice(forms) if forms and r.random() < 0.35 else ""
        else:
            d.title = self.title(d.sex)
            d.title_in_bez1 = r.random() < 0.4
        return True

    def vary_swap(self, d, rec):
        d.swap = not d.swap
        return True

    def vary_layout(self, d, rec):
        d.layout = self.rng.choice([x for x in ("split", "full", "comma") if x != d.layout])
        return True

    def vary_legal(self, d, rec):
        r = self.rng
        form = LEGAL_BY_NAME[d.form]
        options = [f for f in (form[0],) + form[2] if f != d.form_text]
        d.form_text = r.choice(options)
        return True

    def vary_firm_words(self, d, rec):
        r = self.rng
        name = d.name
        if " & " in name:
            d.name = name.replace(" & ", r.choice((" und ", " u. ", "&", " + ")), 1)
        elif " und " in name:
            d.name = name.replace(" und ", " & ", 1)
        elif d.trade and name.startswith(d.trade + " ") and r.random() < 0.5:
            d.name = name[len(d.trade) + 1:]  # "Autohaus Becker" entered as "Becker"
        elif d.bez2 and r.random() < 0.5:
            d.bez3, d.bez2 = d.bez2, ""  # the addition one line lower
        else:
            d.bez2 = r.choice(DEPARTMENTS) if not d.bez2 else ""
        return True

    def vary_street(self, d, rec):
        r = self.rng
        pre = d.strasse if d.street is None else d.street
        roll = r.random()
        for short, longs in STREET_ABBREVIATIONS:
            if pre.startswith(short) and roll < 0.6:
                new = r.choice(longs) + pre[len(short):]
                if d.street is None:
                    d.strasse = new
                else:
                    d.street = new
                return True
        n, letter, to = d.number
        if roll < 0.3 and (letter or to):
            if to and r.random() < 0.4:
                d.number = (n, "", 0)  # "12-14" entered as "12"
            elif letter and r.random() < 0.3:
                d.number = (n, "", 0)
            else:
                d.number_style = r.choice([s for s in range(4) if s != d.number_style])
            return True
        if d.street is None:
            d.family_first = r.choice([i for i in range(5) if i != d.family_first])
            return True
        if roll < 0.5:
            d.number = (n, letter or r.choice("ab"), 0) if not to else (n, "", 0)
            return True
        return False

    def vary_missing(self, d, rec):
        r = self.rng
        roll = r.random()
        if d.kind == "P":
            if roll < 0.45:
                d.first = ""
            elif roll < 0.7:
                d.first = d.first[0] + "."
            elif roll < 0.95:
                d.ort = ""
            else:
                d.bez3 = ""
            if not d.first and d.layout != "split":
                d.layout = "split"
        else:
            if d.bez2 and roll < 0.6:
                d.bez2 = ""
            elif roll < 0.9:
                d.ort = ""
            else:
                d.bez3 = d.bez4 = ""
        return True

    def vary_number_range(self, d, rec):
        # "89" / "89-91" / "89 - 91" / "89/91": the building on the corner
        # has two numbers and not every entry gives both.
        r = self.rng
        n, letter, to = d.number
        if to and r.random() < 0.5:
            d.number = (n, "", 0)
        elif to:
            d.number_style = r.choice([s for s in range(3) if s != d.number_style % 3])
        else:
            d.number = (n, "", n + r.choice((1, 2, 2, 2, 4)))
            d.number_style = r.choice((0, 0, 1, 2))
        return True

    def vary_town_form(self, d, rec):
        r = self.rng
        more = [f for f in more_town_forms(d.town) if f != d.ort]
        forms = [f for f in [d.town] + town_forms(d.town) if f != d.ort]
        if more and (r.random() < 0.7 or not forms):
            d.ort = r.choice(more)
        elif forms:
            d.ort = r.choice(forms)
        else:
            return False
        return True

    def vary_first_name_variant(self, d, rec):
        r = self.rng
        self._freeze_such(d)
        head, blank, rest = d.first.partition(" ")
        if not head or head.endswith(".") and len(head) <= 5:
            return False  # an initial already
        variants = list(FIRST_VARIANTS.get(head, ()))
        if has_umlaut(head):
            variants.append(head.translate(TRANSLIT))  # "Juergen"
        if variants and r.random() < 0.75:
            head = r.choice(variants)
        elif "-" in head:
            head = "-".join(part[0] + "." for part in head.split("-"))  # "H.-P."
        else:
            head = head[0] + "."  # "E." for "Elli"
        d.first = head + blank + rest
        return True

    def vary_reading(self, d, rec):
        # A form read by OCR: "1O115", "Hauptstraße 1O", "Mülier".
        r = self.rng
        first = READING_FIELDS.draw(r)
        for i in (first,) + tuple(i for i in (4, 2, 0, 1, 5) if i != first):
            value = rec[i]
            spots = [(k, old, new) for old, new in READING_SWAPS
                     for k in range(len(value)) if value.startswith(old, k)]
            if not spots:
                continue
            for _ in range(2 if r.random() < 0.2 else 1):
                k, old, new = r.choice(spots)
                value = value[:k] + new + value[k + len(old):]
                spots = [(k2, o, n) for k2, o, n in spots if k2 < k and k2 + len(o) <= k]
                if not spots:
                    break
            rec[i] = value
            return True
        return False

    def vary_such(self, d, rec):
        r = self.rng
        if d.kind == "P":
            d.such_style = r.choice([s for s in (0, 1, 2) if s != d.such_style])
            if r.random() < 0.1:
                d.such = ""
        else:
            d.such_style = 1 - d.such_style
        return True

    def vary_ort(self, d, rec):
        forms = town_forms(d.ort)
        if not forms:
            return False
        d.ort = self.rng.choice(forms)
        return True

    def vary_alike(self, d, rec):
        r = self.rng
        self._freeze_such(d)
        if d.kind == "P":
            candidates = [x for x in ("last", "first") if getattr(d, x) in ALIKE]
            if not candidates:
                return False
            part = r.choice(candidates)
            setattr(d, part, r.choice(ALIKE[getattr(d, part)]))
            return True
        head, _, last = d.name.rpartition(" ")
        if last in ALIKE:
            d.name = (head + " " if head else "") + r.choice(ALIKE[last])
            return True
        return False

    def vary_other(self, d, rec):
        r = self.rng
        roll = r.random()
        if roll < 0.5:
            d.group = r.choice([g for g in GROUPS.items if g != d.group])
        elif roll < 0.75:
            d.bez4 = "" if d.bez4 else "Kd.-Nr. %d" % r.randint(1000, 99999)
        else:
            d.bez3 = "" if d.bez3 else r.choice(("bitte klingeln", "Lieferung an Nachbarn",
                                                 "Hinterhaus", "2. OG"))
        return True

    # String changes work on the rendered record.

    def vary_case(self, d, rec):
        r = self.rng
        if r.random() < 0.15:
            fields = (1, 2, 4, 5, 6)  # a system that stores capitals only
            how = 0
        else:
            fields = (r.choice((1, 1, 2, 2, 4, 4, 5, 6)),)
            how = r.choice((0, 0, 1, 1, 2))
        changed = False
        for i in fields:
            old = rec[i]
            if how == 0:
                rec[i] = upper_de(old) if r.random() < 0.5 else old.upper()
            elif how == 1:
                rec[i] = old.lower()
            else:
                rec[i] = " ".join(w[:1].upper() + w[1:].lower() for w in old.split(" "))
            changed = changed or rec[i] != old
        return changed

    def vary_blanks(self, d, rec):
        r = self.rng
        i = r.choice((1, 2, 2, 4, 4, 5))
        old = rec[i]
        if not old:
            return False
        roll = r.random()
        if roll < 0.25 and "-" in old:
            rec[i] = old.replace("-", r.choice((" ", "", " - ")), 1)
        elif roll < 0.45 and " " in old:
            rec[i] = old.replace(" ", "  ", 1)
        elif roll < 0.6 and ". " in old:
            rec[i] = old.replace(". ", ".", 1)  # "Dr.Hans", "Hauptstr.5"
        elif roll < 0.85:
            rec[i] = old + " "
        else:
            rec[i] = " " + old
        return rec[i] != old

    def vary_umlaut(self, d, rec):
        r = self.rng
        table = TRANSLIT if r.random() < 0.85 else DOTS_LOST
        fields = [i for i in range(1, 8) if has_umlaut(rec[i])]
        if not fields:
            return False
        if r.random() < 0.5:
            fields = [r.choice(fields)]
            if fields[0] == 4 and has_umlaut(rec[3]) and r.random() < 0.6:
                fields.append(3)
        for i in fields:
            v = rec[i]
            if v.isupper():
                v = v.translate(TRANSLIT_UPPER).replace("ß", "SS")
            rec[i] = v.translate(table)
        return True

    def vary_typo(self, d, rec):
        r = self.rng
        if d.kind == "P":
            i = r.choice((4, 4, 4, 4, 5, 5, 2, 2, 2, 1, 1, 3))
        else:
            i = r.choice((4, 4, 4, 4, 4, 4, 2, 2, 1, 5))
        value = rec[i]
        letters = [k for k, ch in enumerate(value) if ch.isalpha()]
        if len(letters) < 3:
            return False
        k = r.choice(letters[1:]) if r.random() < 0.9 else letters[0]
        ch = value[k]
        roll = r.random()
        if roll < 0.3:
            value = value[:k] + value[k + 1:]
        elif roll < 0.5:
            value = value[:k] + ch + value[k:]
        elif roll < 0.75:
            if k + 1 >= len(value) or not value[k + 1].isalpha() or value[k + 1] == ch:
                return False
            value = value[:k] + value[k + 1] + ch + value[k + 2:]
        else:
            near = NEIGHBOURS.get(ch.lower())
            if not near:
                return False
            new = r.choice(near)
            value = value[:k] + (new.upper() if ch.isupper() else new) + value[k + 1:]
        rec[i] = value
        return True


# ---------------------------------------------------------------------------
# Output

class Stats:
    def __init__(self, hard_cases="classic"):
        if hard_cases == "classic":
            self.variation_names = [name for name, _ in VARIATIONS]
            self.kinds = list(HARD_NEGATIVES)
        else:
            self.variation_names = [name for name, _ in VARIATIONS_ALL]
            self.kinds = list(LOOK_ALIKE_KINDS) if hard_cases == "all" else []
        self.changes = {}
        self.records = 0
        self.duplicates = 0
        self.persons = 0
        self.umlaut_records = 0
        self.variations = {}
        self.look_alikes = {}
        self.cluster_sizes = {}

    def report(self, out):
        n = max(self.records, 1)
        d = max(self.duplicates, 1)
        out.write("records %d, duplicates %d (%.1f %%), persons %.1f %%, "
                  "with umlaut or ß in the name fields %.1f %%\n"
                  % (self.records, self.duplicates, 100.0 * self.duplicates / n,
                     100.0 * self.persons / n, 100.0 * self.umlaut_records / n))
        out.write("cluster sizes: %s\n" % ", ".join(
            "%d: %d" % kv for kv in sorted(self.cluster_sizes.items())))
        out.write("differences, share of duplicates:\n")
        for name in self.variation_names:
            count = self.variations.get(name, 0)
            out.write("  %-18s %7d  %5.1f %%\n" % (name, count, 100.0 * count / d))
        out.write("duplicates by number of differences: %s\n" % ", ".join(
            "%d: %d" % kv for kv in sorted(self.changes.items())))
        out.write("look-alikes that are other customers:\n")
        for name in self.kinds:
            out.write("  %-12s %7d  %5.2f %% of records\n"
                      % (name, self.look_alikes.get(name, 0),
                         100.0 * self.look_alikes.get(name, 0) / n))


def make_block(maker, rng, size, extra_chance):
    """One block of records and the order to write them in. Each entry is
    (values, cluster, source, tag, kind); cluster and source are indexes into
    the block (source -1: made from nothing)."""
    entries = []
    clusters = 0
    while len(entries) < size:
        c = maker.customer()
        todo = [("", c, -1)]
        todo += [(kind, o, len(entries)) for kind, o in maker.look_alikes(c)]
        for kind, cust, partner in todo:
            if len(entries) >= size:
                break
            cluster = clusters
            clusters += 1
            first = len(entries)
            entries.append((maker.render(cust), cluster, partner, kind or "-", cust.kind))
            if rng.random() < extra_chance:
                for _ in range(EXTRA_COPIES.draw(rng)):
                    if len(entries) >= size:
                        break
                    values, done = maker.duplicate(cust)
                    entries.append((values, cluster, first, "dup:" + "+".join(done), cust.kind))
    order = list(range(len(entries)))
    rng.shuffle(order)
    return entries, order


def generate(args, out, truth, tags, stats):
    rng = random.Random(args.seed)
    numbers = random.Random(args.seed * 7919 + 1)
    maker = Maker(rng, args.hard_cases)
    # The chance that a customer gets duplicates, so that dup_rate of all
    # records are duplicates.
    extra_chance = min(1.0, args.dup_rate / ((1.0 - args.dup_rate) * MEAN_EXTRA))
    csv = args.format == "csv"
    delim = args.delimiter
    eol = "\r\n" if args.line_end == "crlf" else "\n"
    if csv:
        header = ((NUMBER_HEADER,) if args.kundennr else ()) + DEFAULT_HEADER
        out.write(delim.join(csv_field(h, delim) for h in header) + eol)
    kundennr = 100000
    written = 0
    while written < args.count:
        entries, order = make_block(maker, rng, min(args.block, args.count - written),
                                    extra_chance)
        number_of = [0] * len(entries)
        for pos, index in enumerate(order):
            number_of[index] = written + pos + 1
        first_of = {}
        lines = []
        truth_lines = []
        tag_lines = []
        for pos, index in enumerate(order):
            values, cluster, source, tag, kind = entries[index]
            number = written + pos + 1
            cluster_id = first_of.setdefault(cluster, number)
            kundennr += numbers.randint(1, 9)
            if csv:
                line = delim.join(values)
                # Most rows need no quotes: quote only when a value has a
                # quote or the delimiter.
                if '"' in line or line.count(delim) != 8:
                    line = delim.join([csv_field(v, delim) for v in values])
                lines.append(("%d%s" % (kundennr, delim) + line) if args.kundennr else line)
            else:
                lines.append("|".join(values))
            if truth is not None:
                truth_lines.append("%d\t%d\n" % (number, cluster_id))
            if tags is not None:
                tag_lines.append("%d\t%d\t%d\t%s\n" % (
                    number, cluster_id, number_of[source] if source >= 0 else 0, tag))
            if stats is not None:
                stats.records += 1
                stats.persons += kind == "P"
                if any(has_umlaut(v) for v in values[3:8]):
                    stats.umlaut_records += 1
                if tag.startswith("dup:"):
                    stats.duplicates += 1
                    names = tag[4:].split("+")
                    for name in names:
                        stats.variations[name] = stats.variations.get(name, 0) + 1
                    stats.changes[len(names)] = stats.changes.get(len(names), 0) + 1
                elif tag != "-":
                    stats.look_alikes[tag] = stats.look_alikes.get(tag, 0) + 1
        if stats is not None:
            sizes = {}
            for _, cluster, _, _, _ in entries:
                sizes[cluster] = sizes.get(cluster, 0) + 1
            for size in sizes.values():
                stats.cluster_sizes[size] = stats.cluster_sizes.get(size, 0) + 1
        out.write((eol if csv else "\n").join(lines) + (eol if csv else "\n"))
        if truth is not None:
            truth.write("".join(truth_lines))
        if tags is not None:
            tags.write("".join(tag_lines))
        written += len(entries)


def generate_names(args, out, stats):
    """Surnames and company names, one per line, for timing phonetic codes."""
    rng = random.Random(args.seed)
    maker = Maker(rng)
    chunk = []
    umlauts = 0
    for _ in range(args.count):
        roll = rng.random()
        if roll < 0.7:
            # Umlaut names drawn a little more often, as in files of names
            # gathered for phonetic search.
            name = maker.umlaut_surnames.draw(rng) if rng.random() < 0.12 else maker.surname()
            if rng.random() < 0.03:
                name += "-" + maker.surname()
        else:
            c = maker.company()
            name = c.name + (" " + c.form_text if c.form_text else "")
        umlauts += has_umlaut(name)
        chunk.append(name)
        if len(chunk) == 8192:
            out.write("\n".join(chunk) + "\n")
            chunk.clear()
    if chunk:
        out.write("\n".join(chunk) + "\n")
    if stats is not None:
        sys.stderr.write("names %d, with umlaut or ß %.1f %%\n"
                         % (args.count, 100.0 * umlauts / max(args.count, 1)))


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--count", type=int, default=None,
                   help="records or names to write (default 100000; 1000000 for names)")
    p.add_argument("--format", choices=("records", "csv", "names"), default="records",
                   help="record strings, CSV with a header, or one name a line (default records)")
    p.add_argument("--kundennr", action="store_true",
                   help="CSV only: a first column Kundennr, a customer number per record")
    p.add_argument("--delimiter", default=";", help="CSV delimiter: ';' (default), ',' or 'tab'")
    p.add_argument("--line-end", choices=("crlf", "lf"), default="crlf",
                   help="CSV record end (default crlf); record strings always end in LF")
    p.add_argument("--dup-rate", type=float, default=0.18,
                   help="fraction of records that re-enter an earlier customer (default 0.18)")
    p.add_argument("--hard-cases", choices=("none", "classic", "all"), default="all",
                   help="look-alikes beside the customers and the harder differences of "
                        "re-entries: all (default) plants households, neighbours in one "
                        "building, namesakes, father and son, firms beside their owners, "
                        "firms sharing an address and branches, and adds house number "
                        "ranges, reading (OCR) errors, town forms and first name variants "
                        "to the differences; classic the mix of earlier versions (the same "
                        "records for the same seed); none the differences of all without "
                        "any look-alikes")
    p.add_argument("--seed", type=int, default=20240611, help="random seed (default 20240611)")
    p.add_argument("--block", type=int, default=50000,
                   help="records made and shuffled together (default 50000)")
    p.add_argument("--truth", metavar="FILE",
                   help="write 'record<TAB>cluster' per record to FILE (numbers from 1)")
    p.add_argument("--tags", metavar="FILE",
                   help="write 'record<TAB>cluster<TAB>source<TAB>tag' per record to FILE: "
                        "source is the record a duplicate or look-alike was made from (0 "
                        "for none), tag is '-', a look-alike kind or 'dup:' and the differences")
    p.add_argument("--stats", action="store_true",
                   help="print the shares of people, umlauts and differences to stderr")
    p.add_argument("-o", "--output", metavar="FILE", help="output file (default stdout)")
    args = p.parse_args(argv)
    if args.count is None:
        args.count = 1000000 if args.format == "names" else 100000
    if args.count < 0:
        p.error("--count must not be negative")
    if not 0.0 <= args.dup_rate < 1.0:
        p.error("--dup-rate must be at least 0 and below 1")
    if args.block < 1:
        p.error("--block must be positive")
    if args.delimiter == "tab":
        args.delimiter = "\t"
    if len(args.delimiter) != 1 or args.delimiter in '"\r\n|':
        p.error("--delimiter must be one character other than a quote, '|' or a line break")
    if args.kundennr and args.format != "csv":
        p.error("--kundennr needs --format csv: record strings have nine fields")
    if args.format == "names" and (args.truth or args.tags):
        p.error("--truth and --tags need records or csv")
    return args


def main(argv):
    args = parse_args(argv)
    if args.output:
        out = open(args.output, "w", encoding="utf-8", newline="", buffering=1 << 20)
    else:
        out = open(sys.stdout.fileno(), "w", encoding="utf-8", newline="", closefd=False,
                   buffering=1 << 20)
    truth = open(args.truth, "w", encoding="utf-8", newline="") if args.truth else None
    tags = open(args.tags, "w", encoding="utf-8", newline="") if args.tags else None
    stats = Stats(args.hard_cases) if args.stats else None
    try:
        if args.format == "names":
            generate_names(args, out, stats)
        else:
            generate(args, out, truth, tags, stats)
            if stats is not None:
                stats.report(sys.stderr)
    except BrokenPipeError:
        return 0
    finally:
        for f in (truth, tags):
            if f is not None:
                f.close()
        try:
            out.close()
        except BrokenPipeError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
