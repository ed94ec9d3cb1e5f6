#include "Report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

const char* verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::met: return "met";
        case Verdict::missed: return "MISSED";
        case Verdict::info: return "";
    }
    return "";
}

std::string number(double value) {
    if (std::fabs(value) >= 100) return fmt::format("{:.0f}", value);
    if (std::fabs(value) >= 10) return fmt::format("{:.1f}", value);
    return fmt::format("{:.2f}", value);
}

std::string json_string(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += fmt::format("\\{}", c);
        else if (static_cast<unsigned char>(c) < 0x20)
            quoted += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        else
            quoted += c;
    }
    return quoted + "\"";
}

std::string json_number(double value) { return std::isfinite(value) ? fmt::format("{:.6g}", value) : "null"; }

}  // namespace

std::string Report::table() const {
    size_t name_width = 6;
    for (const Figure& figure : figures) name_width = std::max(name_width, figure.name.size());
    std::string text = fmt::format("{:<{}}  {:>12}  {:>12}  {:>7}  {:<28}  {}\n", "Figure", name_width,
                                   "Value", "Bare floor", "Ratio", "Target", "Status");
    text += std::string(name_width + 74, '-') + "\n";
    for (const Figure& figure : figures) {
        const std::string value = number(figure.value) + " " + figure.unit;
        const std::string floor = figure.floor ? number(*figure.floor) + " " + figure.unit : "";
        const std::string ratio = figure.ratio ? number(*figure.ratio) + "x" : "";
        text += fmt::format("{:<{}}  {:>12}  {:>12}  {:>7}  {:<28}  {}\n", figure.name, name_width, value, floor,
                            ratio, figure.target, verdict_text(figure.verdict));
    }
    return text;
}

std::string Report::json() const {
    std::string text = "{\n  \"run\": {";
    for (size_t i = 0; i < notes.size(); ++i)
        text += fmt::format("{}\n    {}: {}", i == 0 ? "" : ",", json_string(notes[i].first),
                            json_string(notes[i].second));
    text += "\n  },\n  \"figures\": [";
    for (size_t i = 0; i < figures.size(); ++i) {
        const Figure& figure = figures[i];
        text += fmt::format(
            "{}\n    {{\"name\": {}, \"value\": {}, \"unit\": {}, \"bare_floor\": {}, \"ratio\": {}, \"target\": {}, "
            "\"status\": {}}}",
            i == 0 ? "" : ",", json_string(figure.name), json_number(figure.value), json_string(figure.unit),
            figure.floor ? json_number(*figure.floor) : "null", figure.ratio ? json_number(*figure.ratio) : "null",
            figure.target.empty() ? "null" : json_string(figure.target),
            figure.verdict == Verdict::info ? "null"
                                            : json_string(figure.verdict == Verdict::met ? "met" : "missed"));
    }
    text += "\n  ]\n}\n";
    return text;
}

int Report::missed_count() const {
    return static_cast<int>(
        std::count_if(figures.begin(), figures.end(), [](const Figure& f) { return f.verdict == Verdict::missed; }));
}

}  // namespace bench
