// Reads an ECU description and writes a form file and the XCP library's item description
// for it, then prints what was mapped and what was not.
//
//   qorcal-a2l FILE.a2l [--out DIR] [--module NAME] [--host HOST] [--port PORT] [--tcp|--udp]
//
// DIR (default: the current folder) receives NAME.qfm and NAME.xcp, NAME being the file's
// name without its extension. Exit status: 0 when the files were written, 1 when the file
// could not be read or mapped, 2 on a wrong command line.

#include "a2l/A2lMapping.h"
#include "a2l/A2lReader.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    using namespace qor::a2l;
    const auto usage = [&] {
        std::cerr << "usage: " << argv[0]
                  << " FILE.a2l [--out DIR] [--module NAME] [--host HOST] [--port PORT] "
                     "[--tcp|--udp]\n";
        return 2;
    };
    std::string file, dir = ".";
    TMapOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--out" && hasValue) {
            dir = argv[++i];
        } else if (a == "--module" && hasValue) {
            options.ModuleName = argv[++i];
        } else if (a == "--host" && hasValue) {
            options.Host = argv[++i];
        } else if (a == "--port" && hasValue) {
            const std::string v = argv[++i];
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), options.Port);
            if (ec != std::errc() || end != v.data() + v.size() || options.Port < 1 ||
                options.Port > 65535)
                return usage();
        } else if (a == "--tcp" || a == "--udp") {
            options.Tcp = a == "--tcp";
        } else if (!a.empty() && a[0] != '-' && file.empty()) {
            file = a;
        } else {
            return usage();
        }
    }
    if (file.empty())
        return usage();

    const TReadResult read = TryReadA2l(file);
    if (!read.Project) {
        std::cerr << read.Error << "\n";
        return 1;
    }
    const TMapping mapping = MapProject(*read.Project, options);
    std::cout << mapping.Report();
    if (mapping.ModuleName.empty())
        return 1;
    const std::string base = std::filesystem::path(file).stem().string();
    std::string error;
    if (!WriteMappingFiles(mapping, dir, base, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    const std::filesystem::path out = std::filesystem::absolute(dir);
    std::cout << "Wrote " << (out / (base + ".qfm")).string() << " and "
              << (out / (base + ".xcp")).string() << "\n"
              << "Run a program on the form with QOR_XCP_DESCRIPTION="
              << (out / (base + ".xcp")).string() << "\n";
    return 0;
}
