// vadrel-disc-gen DIR [FIXTURE]: writes a software disc of about 650 MB for timing the scan:
// DIR/disc/ (the folder a mounted disc shows) and DIR/disc.iso (the same, by xorriso with Joliet
// and Rock Ridge). 3 000 files: 60 installers of 2 to 20 MB with version resources, 10 MSI
// packages, 10 Debian packages, 10 zips with a FILE_ID.DIZ, and data and text files. The
// programs are copies of FIXTURE's (the revista-marzo-2004 disc beside the repository). Nothing
// is done when DIR/disc.iso is already there; the same arguments always give the same bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 3000;
constexpr int kInstallers = 60, kMsi = 10, kDebs = 10, kZips = 10;
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

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vadrel-disc-gen DIR [FIXTURE]\n");
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
