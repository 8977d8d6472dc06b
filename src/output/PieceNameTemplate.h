#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What a piece name template may use: {name} the source's base name, {n} the piece number from 0,
// {n1} from 1, {N} the number of pieces, {title} {artist} {album} from the piece's tag. A number
// takes zero padding as {n1:02}. A '/' or '\' in the template makes subfolders of the output folder,
// on every platform.
struct PieceNameFields {
    std::string name;
    int number = 0;
    int count = 0;
    std::string title;
    std::string artist;
    std::string album;
};

struct ExpandedName {
    std::filesystem::path relative; // below the output folder, without the extension
    std::string problem;            // why the template was refused; empty when it was not
};

// Expands a template for one piece. Tag texts cannot make folders, name a drive or climb out: their
// slashes, backslashes, colons and control characters become '_', as does a component that would read
// "." or "..". Wherever they come from, the characters * ? " < > | become '_', trailing dots and
// spaces of a component go, and a Windows device name (CON, NUL, COM1 ...) takes a '_' after it. A field that
// comes out empty takes the spaces or dashes beside it along. A template that is absolute, climbs out with
// "..", ends with a separator, holds a ':' or a control character outside a field, or names an unknown field
// is refused.
ExpandedName expandPieceName(const std::string& pattern, const PieceNameFields& fields);

// The fields of each folder and file part of a template, in order, as written ("{n1:02}{title}").
std::vector<std::string> templateFieldsByComponent(const std::string& pattern);
