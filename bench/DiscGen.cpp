// vadrel-disc-gen DIR [FIXTURE]: writes a software disc of about 650 MB for timing the scan:
// DIR/disc/ (the folder a mounted disc shows) and DIR/disc.iso (the same, by xorriso with Joliet
// and Rock Ridge). 3 000 files: 60 installers of 2 to 20 MB with version resources, 10 MSI
// packages, 10 Debian packages, 10 zips with a FILE_ID.DIZ beside them and 10 with one inside,
// NSIS installers, RPM packages and two 40 MB MSI packages (made here by makensis, rpmbuild and
// msibuild, when installed), and data and text files. The other programs are copies of
// FIXTURE's (the revista-marzo-2004 disc beside the repository). Nothing is done when DIR/disc.iso
// is already there; the same arguments give the same bytes but for the times the packaging tools
// stamp.
//
// vadrel-disc-gen --hostile DIR: small images a reader must survive, in DIR/hostile/: deep.iso
// (folders 300 deep), wide.iso (120 000 files in folders of 300), looping.iso (a folder record that
// points back at the root), bomb.iso (a zip whose FILE_ID.DIZ inflates to 1 GB) and huge.iso (a
// file record claiming 4 GB on a disc of a few). Existing ones are kept.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 3000;
constexpr int kInstallers = 60, kMsi = 10, kDebs = 10, kZips = 10, kNsis = 5, kRpms = 5,
              kLargeMsi = 2;
constexpr std::int64_t kMiB = 1 << 20;
// Every file's bytes together: the image's directories and block padding bring it to ~650 MB.
constexpr std::int64_t kDiscBytes = 640 * kMiB;

const char *const kCategories[] = {"UTILES", "GRAFICOS", "JUEGOS", "INTERNET", "SONIDO", "EDUCA"};
const char *const kWords[] = {"programa", "instalar", "version",  "disco",   "archivo",
                              "registro", "windows",  "usuario",  "menu",    "ayuda",
                              "licencia", "gratis",   "requiere", "memoria", "pantalla"};
const char *const kDataExtensions[] = {"DAT", "BIN", "CAB", "BMP", "WAV", "HLP", "DLL", "OCX"};

std::string fixtureDir() {
#ifdef VADREL_DISC_FIXTURE
    return VADREL_DISC_FIXTURE;
#else
    return {};
#endif
}

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "vadrel-disc-gen: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path &path, const std::string &bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "vadrel-disc-gen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Random bytes at memory speed (splitmix64): nothing a compressor or a deduplicating file
// system could shrink, unlike repeated or zero bytes.
void appendNoise(std::string &bytes, std::int64_t count, std::uint64_t &state) {
    const std::size_t start = bytes.size();
    bytes.resize(start + std::size_t(count));
    char *out = bytes.data() + start;
    for (std::int64_t i = 0; i < count; i += 8) {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        std::copy_n(reinterpret_cast<const char *>(&z), std::min<std::int64_t>(8, count - i),
                    out + i);
    }
}

std::string text(std::int64_t size, std::mt19937_64 &random) {
    std::string out;
    while (std::int64_t(out.size()) < size) {
        out += kWords[random() % std::size(kWords)];
        out += random() % 9 == 0 ? "\r\n" : " ";
    }
    out.resize(std::size_t(size));
    return out;
}

// Replaces every UTF-16LE `from` with `to` (the same length), so each copy names its own product.
void renameProduct(std::string &bytes, const std::u16string &from, const std::u16string &to) {
    const std::string a(reinterpret_cast<const char *>(from.data()), from.size() * 2);
    const std::string b(reinterpret_cast<const char *>(to.data()), to.size() * 2);
    for (auto at = bytes.find(a); at != std::string::npos; at = bytes.find(a, at + b.size()))
        bytes.replace(at, b.size(), b);
}

std::u16string utf16(const std::string &ascii) {
    return {ascii.begin(), ascii.end()};
}

std::string numbered(const char *prefix, int n, int width = 3) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%0*d", width, n);
    return prefix + std::string(digits);
}

int run(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void little(std::string &out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xff);
}

// A zip archive of the members given, each stored or deflated as its flag says.
struct Member {
    std::string name, bytes;
    bool deflate = false;
    std::uint64_t plainSize = 0; // for a member given already deflated
    std::uint32_t crc = 0;
};

std::string zipOf(std::vector<Member> members) {
    std::string out, directory;
    for (Member &m : members) {
        if (m.plainSize == 0) {
            m.plainSize = m.bytes.size();
            m.crc = std::uint32_t(
                crc32(0, reinterpret_cast<const Bytef *>(m.bytes.data()), uInt(m.bytes.size())));
        }
        std::string header;
        little(header, 20, 2);                       // version needed
        little(header, 0, 2);                        // flags
        little(header, m.deflate ? 8 : 0, 2);        // method
        little(header, 0x3021, 2);                   // 06:01:02
        little(header, (22 << 9) | (3 << 5) | 1, 2); // 2002-03-01
        little(header, m.crc, 4);
        little(header, m.bytes.size(), 4);
        little(header, m.plainSize, 4);
        little(header, m.name.size(), 2);
        little(header, 0, 2);
        directory += std::string("PK\1\2", 4);
        little(directory, 20, 2);
        directory += header;
        little(directory, 0, 2); // comment
        little(directory, 0, 2); // disk
        little(directory, 0, 2); // internal attributes
        little(directory, 0, 4); // external attributes
        little(directory, out.size(), 4);
        directory += m.name;
        out += std::string("PK\3\4", 4) + header + m.name + m.bytes;
    }
    const std::size_t at = out.size();
    out += std::string("PK\5\6", 4);
    little(out, 0, 4);
    little(out, members.size(), 2);
    little(out, members.size(), 2);
    little(out, directory.size(), 4);
    little(out, at, 4);
    little(out, 0, 2);
    return out.insert(at, directory);
}

// `size` zero bytes, raw-deflated a piece at a time: the member of a zip bomb.
Member zeros(const std::string &name, std::uint64_t size) {
    Member m{name, {}, true, size, 0};
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const std::string piece(1 << 20, '\0');
    std::string out(1 << 16, '\0');
    uLong crc = crc32(0, nullptr, 0);
    for (std::uint64_t done = 0; done < size;) {
        const std::uint64_t now = std::min<std::uint64_t>(piece.size(), size - done);
        crc = crc32(crc, reinterpret_cast<const Bytef *>(piece.data()), uInt(now));
        done += now;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(piece.data()));
        z.avail_in = uInt(now);
        const int flush = done == size ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            m.bytes.append(out.data(), out.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    m.crc = std::uint32_t(crc);
    return m;
}

// An NSIS installer of a few MB, made by makensis from a script of ours; empty when makensis
// is not installed or fails.
std::string nsisInstaller(const fs::path &work, int n, std::uint64_t &noise) {
    fs::create_directories(work);
    std::string payload;
    appendNoise(payload, 3 * kMiB, noise);
    write(work / "carga.bin", payload);
    write(work / "instala.nsi", "Name \"Utilidad " + std::to_string(n) +
                                    "\"\nOutFile \"instala.exe\"\n"
                                    "SetCompress off\nRequestExecutionLevel user\n"
                                    "InstallDir \"$PROGRAMFILES\\Utilidad" +
                                    std::to_string(n) +
                                    "\"\n"
                                    "Section\nSetOutPath $INSTDIR\nFile carga.bin\nSectionEnd\n");
    if (run({"makensis", "-V1", (work / "instala.nsi").string()}) != 0)
        return {};
    return slurp(work / "instala.exe");
}

// A noarch RPM package that rpmbuild makes from a build recipe of ours; empty when rpmbuild is
// missing.
std::string rpmPackage(const fs::path &work) {
    fs::create_directories(work / "RECETAS");
    write(work / "RECETAS/herramienta.receta",
          "Name: herramienta\nVersion: 2.1\nRelease: 1\nSummary: Herramienta de ejemplo\n"
          "License: GPL\nVendor: Ejemplo Software\nBuildArch: noarch\n"
          "%description\nHerramienta de ejemplo para medir la lectura.\n"
          "%install\nmkdir -p %{buildroot}/usr/share/herramienta\n"
          "seq 1 20000 > %{buildroot}/usr/share/herramienta/datos\n"
          "%files\n/usr/share/herramienta\n");
    if (run({"rpmbuild", "--quiet", "--define", "_topdir " + work.string(), "-bb",
             (work / "RECETAS/herramienta.receta").string()}) != 0)
        return {};
    const fs::path rpm = work / "RPMS/noarch/herramienta-2.1-1.noarch.rpm";
    return fs::exists(rpm) ? slurp(rpm) : std::string();
}

// A Windows Installer package of 40 MB, past any small cap on reading one: the fixture's with a
// cabinet stream of noise added by msibuild (msitools); empty when msibuild is missing.
std::string largeMsi(const fs::path &work, const std::string &msi, std::uint64_t &noise) {
    std::string payload;
    appendNoise(payload, 40 * kMiB, noise);
    write(work / "carga.cab", payload);
    write(work / "grande.msi", msi);
    if (run({"msibuild", (work / "grande.msi").string(), "-a", "carga.cab",
             (work / "carga.cab").string()}) != 0)
        return {};
    return slurp(work / "grande.msi");
}

bool makeImage(const fs::path &folder, const fs::path &image, bool joliet) {
    std::vector<std::string> argv{"xorriso", "-as", "mkisofs", "-quiet", "-R", "-D"};
    if (joliet)
        argv.push_back("-J");
    for (const char *rest : {"-V", "HOSTIL", "-o"})
        argv.push_back(rest);
    argv.push_back(image.string());
    argv.push_back(folder.string());
    return run(argv) == 0;
}

// Rewrites, in each volume descriptor's root folder, the first record `wanted` picks: `change`
// gets the record and the root's own record.
template <typename Pick, typename Change>
void patchRoots(const fs::path &image, Pick wanted, Change change) {
    std::string bytes = slurp(image);
    constexpr std::size_t kSector = 2048;
    for (std::size_t at = 16 * kSector; at + kSector <= bytes.size(); at += kSector) {
        const unsigned char type = static_cast<unsigned char>(bytes[at]);
        if (type == 255)
            break;
        if (type != 1 && type != 2)
            continue;
        char *root = bytes.data() + at + 156;
        std::uint32_t extent = 0;
        for (int i = 3; i >= 0; --i)
            extent = (extent << 8) | static_cast<unsigned char>(root[2 + i]);
        for (std::size_t r = std::size_t(extent) * kSector; r < bytes.size();) {
            const unsigned char length = static_cast<unsigned char>(bytes[r]);
            if (length == 0)
                break;
            char *record = bytes.data() + r;
            const bool self = record[32] == 1 && (record[33] == 0 || record[33] == 1);
            if (!self && wanted(record)) {
                change(record, root);
                break;
            }
            r += length;
        }
    }
    write(image, bytes);
}

void both(char *field, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        field[i] = char((value >> (8 * i)) & 0xff);
        field[7 - i] = char((value >> (8 * i)) & 0xff);
    }
}

int hostile(const fs::path &dir, const fs::path &fixture) {
    const fs::path out = dir / "hostile";
    fs::create_directories(out);
    const std::string setup = slurp(fixture / "COMPRESOR/SETUP.EXE");
    const auto made = [&](const char *name, auto fill, bool joliet, auto patch) {
        const fs::path image = out / (std::string(name) + ".iso");
        if (fs::exists(image))
            return true;
        const fs::path folder = out / name;
        fs::remove_all(folder);
        fill(folder);
        const fs::path unfinished = out / (std::string(name) + ".iso.tmp");
        if (!makeImage(folder, unfinished, joliet)) {
            std::fprintf(stderr, "vadrel-disc-gen: xorriso failed on %s\n", name);
            return false;
        }
        patch(unfinished);
        fs::remove_all(folder);
        fs::rename(unfinished, image);
        std::printf("%s\n", image.c_str());
        return true;
    };
    const auto none = [](const fs::path &) {};
    // Sixteen folders with a program each, the first of them later made to loop.
    const auto programs = [&](const fs::path &folder) {
        for (int i = 1; i <= 16; ++i)
            write(folder / numbered("PROG", i, 2) / "SETUP.EXE", setup);
    };
    bool ok = made(
        "deep",
        [&](const fs::path &folder) {
            fs::path deep = folder;
            for (int i = 0; i < 300; ++i)
                deep /= "D";
            write(deep / "SETUP.EXE", setup);
        },
        false, none);
    ok = made(
             "wide",
             [&](const fs::path &folder) {
                 // Past the 100 000 entries a reader may take; in folders of 300, as xorriso
                 // takes a time growing with the square of one folder's entries.
                 for (int i = 0; i < 120000; ++i) {
                     const fs::path within = folder / "ANCHO" / numbered("D", i / 300, 3);
                     if (i % 300 == 0)
                         fs::create_directories(within);
                     std::ofstream(within / numbered("F", i % 300, 3)).flush();
                 }
                 write(folder / "SETUP.EXE", setup);
             },
             true, none) &&
         ok;
    ok = made("looping", programs, true,
              [](const fs::path &image) {
                  patchRoots(
                      image, [](const char *record) { return (record[25] & 2) != 0; },
                      [](char *record, const char *root) {
                          std::memcpy(record + 2, root + 2, 16); // its extent and length
                      });
              }) &&
         ok;
    ok = made(
             "bomb",
             [&](const fs::path &folder) {
                 write(folder / "BOMBA/BOMBA.ZIP",
                       zipOf({zeros("FILE_ID.DIZ", std::uint64_t(1) << 30),
                              Member{"SETUP.EXE", setup}}));
             },
             true, none) &&
         ok;
    ok = made(
             "huge",
             [&](const fs::path &folder) {
                 programs(folder);
                 write(folder / "GRANDE.EXE", setup);
             },
             true,
             [](const fs::path &image) {
                 patchRoots(
                     image, [](const char *record) { return (record[25] & 2) == 0; },
                     [](char *record, const char *) { both(record + 10, 0xffffffffu); });
             }) &&
         ok;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--hostile")
        return hostile(argv[2], fixtureDir());
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vadrel-disc-gen DIR [FIXTURE]\n       vadrel-disc-gen "
                             "--hostile DIR\n");
        return 2;
    }
    const fs::path dir = argv[1];
    const fs::path fixture = argc == 3 ? fs::path(argv[2]) : fs::path(fixtureDir());
    const fs::path disc = dir / "disc", image = dir / "disc.iso";
    if (fs::exists(image))
        return 0;
    const std::string setup = slurp(fixture / "COMPRESOR/SETUP.EXE");
    const std::string menu = slurp(fixture / "MENU.EXE");
    const std::string msi = slurp(fixture / "OFIMATICA/SUITE.MSI");
    const std::string deb = slurp(fixture / "LINUX/editor-texto_1.4-2_all.deb");
    const std::string zip = slurp(fixture / "UTILES/LIMPIA23.ZIP");
    const std::string autorun = slurp(fixture / "AUTORUN.INF");
    fs::remove_all(disc);

    std::mt19937_64 random(20040301);
    std::uint64_t noise = 650;
    std::int64_t bytes = 0;
    int files = 0;
    const auto put = [&](const fs::path &path, const std::string &content) {
        write(disc / path, content);
        bytes += std::int64_t(content.size());
        ++files;
    };

    put("AUTORUN.INF", autorun);
    put("MENU.EXE", menu);

    // Installer sizes spread evenly on a log scale from 2 to 20 MB, in shuffled order.
    std::vector<std::int64_t> sizes;
    for (int i = 0; i < kInstallers; ++i)
        sizes.push_back(std::int64_t(2.0 * kMiB * std::pow(10.0, double(i) / (kInstallers - 1))));
    std::shuffle(sizes.begin(), sizes.end(), random);
    std::vector<fs::path> dataFolders;
    for (int i = 0; i < kInstallers; ++i) {
        const fs::path folder =
            fs::path(kCategories[i % std::size(kCategories)]) / numbered("PROG", i + 1);
        std::string installer = setup;
        renameProduct(installer, u"CompresorX", utf16(numbered("Compres", i + 1)));
        appendNoise(installer, sizes[std::size_t(i)] - std::int64_t(installer.size()), noise);
        put(folder / "SETUP.EXE", installer);
        put(folder / "LEAME.TXT", text(std::int64_t(500 + random() % 4000), random));
        dataFolders.push_back(folder / "DATOS");
    }
    for (int i = 0; i < kMsi; ++i)
        put(fs::path("OFIMATICA") / numbered("PAQ", i + 1, 2) / "SUITE.MSI", msi);
    for (int i = 0; i < kDebs; ++i)
        put(fs::path("LINUX") / ("editor-texto" + std::to_string(i + 1) + "_1.4-2_all.deb"), deb);
    for (int i = 0; i < kZips; ++i) {
        const fs::path folder = fs::path("SHAREWARE") / numbered("ZIP", i + 1, 2);
        put(folder / "LIMPIA23.ZIP", zip);
        put(folder / "FILE_ID.DIZ",
            "Limpiador " + std::to_string(i + 1) + " v2.3\r\n(c) 2002 Utiles Ltda.\r\n");
    }
    // Zips holding their own FILE_ID.DIZ, as BBS archives did.
    for (int i = 0; i < kZips; ++i)
        put(fs::path("BBS") / (numbered("UTIL", i + 1, 2) + ".ZIP"),
            zipOf({Member{"FILE_ID.DIZ", "Utilidad BBS " + std::to_string(i + 1) +
                                             " v1.0\r\n(c) 1997 Grupo BBS\r\nShareware.\r\n"},
                   Member{"SETUP.EXE", setup}}));
    // Installers of other makers, made here; left out (and said) where the tool is missing.
    const fs::path work = dir / "formatos";
    for (int i = 0; i < kNsis; ++i)
        if (const std::string nsis = nsisInstaller(work / numbered("nsis", i), i + 1, noise);
            !nsis.empty())
            put(fs::path("NSIS") / numbered("UTIL", i + 1, 2) / "INSTALA.EXE", nsis);
        else
            std::fprintf(stderr, "vadrel-disc-gen: no NSIS installer (is makensis installed?)\n");
    if (const std::string rpm = rpmPackage(work / "rpm"); !rpm.empty())
        for (int i = 0; i < kRpms; ++i)
            put(fs::path("RPMS") / ("herramienta" + std::to_string(i + 1) + "-2.1-1.noarch.rpm"),
                rpm);
    else
        std::fprintf(stderr, "vadrel-disc-gen: no RPM package (is rpmbuild installed?)\n");
    for (int i = 0; i < kLargeMsi; ++i)
        if (const std::string large = largeMsi(work / numbered("msi", i), msi, noise);
            !large.empty())
            put(fs::path("OFIMATICA") / numbered("GRANDE", i + 1, 2) / "SUITE.MSI", large);
        else
            std::fprintf(stderr, "vadrel-disc-gen: no large MSI (is msibuild installed?)\n");
    fs::remove_all(work);

    for (int a = 1; a <= 8; ++a)
        for (int b = 1; b <= 8; ++b)
            dataFolders.push_back(fs::path("EXTRAS") / numbered("GRUPO", a, 2) /
                                  numbered("SUB", b, 2));

    // The rest: one text file in four (up to 64 KB), the others data files of sizes spread on a
    // log scale (1 KB to 1 MB) and scaled so that all of them fill the disc.
    const int rest = kFiles - files;
    std::vector<double> sizesOfRest;
    double dataTotal = 0;
    std::int64_t textTotal = 0;
    for (int i = 0; i < rest; ++i) {
        const double u = std::uniform_real_distribution<>()(random);
        if (i % 4 == 0) {
            sizesOfRest.push_back(std::floor(512.0 * std::pow(128.0, u)));
            textTotal += std::int64_t(sizesOfRest.back());
        } else {
            sizesOfRest.push_back(1024.0 * std::pow(1024.0, u));
            dataTotal += sizesOfRest.back();
        }
    }
    const double scale = double(kDiscBytes - bytes - textTotal) / dataTotal;
    for (int i = 0; i < rest; ++i) {
        const fs::path folder = dataFolders[random() % dataFolders.size()];
        if (i % 4 == 0) {
            put(folder / (numbered("NOTA", i, 4) + ".TXT"),
                text(std::int64_t(sizesOfRest[std::size_t(i)]), random));
        } else {
            std::string data;
            appendNoise(
                data, std::max<std::int64_t>(1, std::int64_t(sizesOfRest[std::size_t(i)] * scale)),
                noise);
            put(folder /
                    (numbered("A", i, 4) + "." + kDataExtensions[i % std::size(kDataExtensions)]),
                data);
        }
    }

    // Written under another name first, so that a present disc.iso is always a whole one.
    const fs::path unfinished = dir / "disc.iso.tmp";
    if (run({"xorriso", "-as", "mkisofs", "-quiet", "-J", "-R", "-V", "REVISTA_BENCH", "-o",
             unfinished.string(), disc.string()}) != 0) {
        std::fprintf(stderr, "vadrel-disc-gen: xorriso failed\n");
        return 1;
    }
    fs::rename(unfinished, image);
    std::printf("%d files, %lld bytes in %s; image %s of %lld bytes\n", files,
                static_cast<long long>(bytes), disc.c_str(), image.c_str(),
                static_cast<long long>(fs::file_size(image)));
    return 0;
}
