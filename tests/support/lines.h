// A text's lines, split at CR LF: the crash report as its builder writes it and as its dialog shows it.
#pragma once
#include <string>
#include <vector>

template <class Text> std::vector<Text> lines_of(const Text &text)
{
    const typename Text::value_type line_end[] = {'\r', '\n', 0};
    std::vector<Text> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(line_end, start)) != Text::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}
