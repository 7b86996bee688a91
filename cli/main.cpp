#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("plumtide-cli %s\n", PLUMTIDE_VERSION);
        return 0;
    }
    std::fprintf(stderr, "usage: plumtide-cli --version\n");
    return argc > 1 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
