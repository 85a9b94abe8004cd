// Writes the benchmarks' sample family-tree file: make_gedcom FILE [PEOPLE] (100,000 people
// unless told). Prints the chart's person and the number of generations in the file.

#include "gedcomsample.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_gedcom FILE [PEOPLE]\n");
        return 2;
    }
    const int people = argc > 2 ? std::atoi(argv[2]) : 100000;
    const pq::bench::SampleTree tree = pq::bench::makeSampleGedcom(people);
    std::ofstream(argv[1], std::ios::binary) << tree.text;
    std::printf("%s: %d people, %.1f MB, %d generations; chart person %s %s\n", argv[1], people,
                tree.text.size() / 1e6, tree.generations, tree.rootXref.c_str(),
                tree.rootName.c_str());
    return 0;
}
