// korvex_manpage OUTPUT: writes the manual page korvex(1) to OUTPUT, at build time. The file
// appears only when it was written completely.
#include <iostream>
#include <string>

#include "AtomicFile.h"
#include "ManPage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: korvex_manpage OUTPUT" << std::endl;
        return 2;
    }
    try {
        const std::string sPage = ManPageText();
        AtomicFile file(argv[1]);
        file.Write(sPage.data(), sPage.size());
        file.Commit();
    } catch (const std::exception& error) {
        std::cerr << "korvex_manpage: " << error.what() << std::endl;
        return 1;
    }
    return 0;
}
