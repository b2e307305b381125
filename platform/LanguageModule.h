// Language modules: per-window, per-component texts in another language, in a
// text file beside the program (the program's file name with the language
// abbreviation as its extension, e.g. "orvtt.DEU"). Loading one makes its
// texts overwrite the built-in ones of every open window.
//
// File format (UTF-8):
//   ; comment
//   [TMainForm]                 a window class
//   bSave.Hint=Seite speichern  component "." property "=" text
//   .Caption=ORV Videotext      the window's own property
// Properties: Caption (a label's or button's text, a window's title), Hint
// (the tool tip), Text, or any other property name the window system knows.
// "\n" in a text stands for a line break.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct LanguageText {
    std::string Component;  // empty: the window itself
    std::string Property;
    std::string Value;
};

class LanguageModule {
public:
    // Reads a module file; false (leaving the module as it was) when it cannot be read.
    bool Load(const std::string& fileName);
    // Parses module text; lines that are not understood are skipped.
    void Parse(std::string_view text);

    bool Empty() const { return forms_.empty(); }
    const std::string& FileName() const { return fileName_; }
    // The texts stored for a window class, none when it has no section.
    const std::vector<LanguageText>* Form(std::string_view className) const;

private:
    std::string fileName_;
    std::map<std::string, std::vector<LanguageText>, std::less<>> forms_;
};

// Looks for the module of a language beside the program: the three-letter
// abbreviation first ("orvtt.DEU"), then its first two letters ("orvtt.DE").
// False when neither can be loaded (or the language has no abbreviation).
bool LoadLanguageModule(const std::string& programPath, std::uint16_t languageId, LanguageModule& module);

}  // namespace orv
