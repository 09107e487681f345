// Chord documents ("chorddoc" files) for tonvela-cli: info and convert.

#include "cli/cli.h"

#include "harmony/chord_document.h"
#include "harmony/chord_document_file.h"

#include <cstdio>
#include <iostream>

namespace tonvela::cli {
namespace {

bool readDocument(const std::string& path, ChordDocument& doc)
{
    const LoadResult res = readChordDocument(doc, captionOf(path), path);
    if (!res.ok()) {
        fail("cannot read \"" + path + "\": " + res.error);
        return false;
    }
    printWarnings(res.warnings);
    return true;
}

int chordInfo(const std::string& path, bool json)
{
    ChordDocument doc;
    if (!readDocument(path, doc))
        return 1;
    if (json) {
        Json info = Json::object();
        info.set("kind", "chords");
        Json diagrams = Json::array();
        for (const ChordDiagram& d : doc.diagrams()) {
            Json j = Json::object();
            j.set("label", d.label);
            j.set("quality", d.quality);
            j.set("startfret", d.startFret);
            j.set("fingering", d.fingering);
            diagrams.push(std::move(j));
        }
        info.set("diagrams", std::move(diagrams));
        std::cout << info.dump() << '\n';
        return 0;
    }
    std::cout << "File: " << path << '\n'
              << "Chord document: " << doc.diagramCount()
              << (doc.diagramCount() == 1 ? " diagram" : " diagrams") << '\n';
    int i = 0;
    for (const ChordDiagram& d : doc.diagrams()) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "  %2d. %-12s start fret %-3d quality %-3d %s\n", ++i, d.label.c_str(),
                      d.startFret, d.quality, d.fingering.c_str());
        std::cout << buf;
    }
    return 0;
}

int chordConvert(const std::string& in, const std::string& out, const Args& /*args*/)
{
    if (extensionOf(out) != ".shd")
        return fail("\"" + in + "\" is a chord document; it can only be written as a .shd file, not \"" +
                    out + "\"");
    ChordDocument doc;
    if (!readDocument(in, doc))
        return 1;
    const FileResult res = writeChordDocument(doc, captionOf(out), out);
    if (!res)
        return fail("cannot write \"" + out + "\": " + res.error);
    return 0;
}

const DocumentHandlerRegistration kChords{{"chorddoc", chordInfo, chordConvert}};

} // namespace
} // namespace tonvela::cli
