#include "sweep/ContactSheet.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "sweep/SweepExpander.h"
#include "sweep/SweepFolder.h"
#include "sweep/SweepRunner.h"
#include "toolkit/AtomicFileWriter.h"
#include "toolkit/FileCheck.h"

namespace {

constexpr long long MaxScriptRead = 1 << 20;

std::string Escape(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// file names are made of letters, digits, '.', '-' and '_' by the expander; others a page
// links with percent escapes.
std::string Link(const std::string &name) {
    std::string out;
    for (unsigned char c : name) {
        bool plain = std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '/';
        if (plain) {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// The iteration of an image file of variant name: NAME_[s<seed>_]<letter><digits>.<bmp|tga|png>;
// -1 when file is none.
long long ImageIteration(const std::string &file, const std::string &name) {
    if (file.size() <= name.size() + 1 || file.compare(0, name.size(), name) != 0 ||
        file[name.size()] != '_') {
        return -1;
    }
    size_t at = name.size() + 1;
    if (file[at] == 's') {
        size_t under = file.find('_', at);
        if (under == std::string::npos || under == at + 1) return -1;
        for (size_t i = at + 1; i < under; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(file[i]))) return -1;
        }
        at = under + 1;
    }
    if (at >= file.size() || file[at] < 'A' || file[at] > 'Z') return -1;
    size_t digits = at + 1;
    size_t dot = file.find('.', digits);
    if (dot == std::string::npos || dot - digits < 6 || dot - digits > 12) return -1;
    for (size_t i = digits; i < dot; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(file[i]))) return -1;
    }
    std::string extension = file.substr(dot + 1);
    if (extension != "bmp" && extension != "tga" && extension != "png") return -1;
    return std::atoll(file.substr(digits, dot - digits).c_str());
}

bool ValueLess(const std::string &a, const std::string &b) {
    return std::strtod(a.c_str(), nullptr) < std::strtod(b.c_str(), nullptr);
}

ContactSheet::Result WriteText(const std::string &path, const std::string &text,
                               std::string &error) {
    int cause = 0;
    if (AtomicFileWriter::WriteWhole(path.c_str(), text.data(), text.size(), cause) !=
        AtomicFileWriter::Done) {
        error = path + ": " + FaultText(cause) + "\n";
        return ContactSheet::Failed;
    }
    return ContactSheet::Done;
}

// A uniform field's picture: a frame round it in the margin, and "uniform" in its bottom left
// corner on a dark band when there is a font and the picture is large enough.
void MarkUniform(SweepPicture &sheet, const SheetFont &font, uint32_t x, uint32_t y, uint32_t width,
                 uint32_t height) {
    const uint32_t frame = ContactSheet::FrameWidth;
    SweepPicture band;
    band.Width = width + 2 * frame;
    band.Height = frame;
    band.Rgb.assign(size_t(band.Width) * band.Height * 3, 0);
    const uint8_t *colour = ContactSheet::FrameColour;
    band.Fill(colour[0], colour[1], colour[2]);
    sheet.Paste(band, x - frame, y - frame);
    sheet.Paste(band, x - frame, y + height);
    band.Width = frame;
    band.Height = height;
    band.Rgb.assign(size_t(band.Width) * band.Height * 3, 0);
    band.Fill(colour[0], colour[1], colour[2]);
    sheet.Paste(band, x - frame, y);
    sheet.Paste(band, x + width, y);
    // The word only where it leaves most of the picture to see.
    const char *text = "uniform";
    const uint32_t line = font.LineHeight();
    if (!font.Loaded() || height < 3 * line || width < font.Width(text) + 4 * ContactSheet::Pad) {
        return;
    }
    SweepPicture back;
    back.Width = font.Width(text) + 2 * ContactSheet::Pad;
    back.Height = line;
    back.Rgb.assign(size_t(back.Width) * back.Height * 3, 0);
    back.Fill(0, 0, 0);
    sheet.Paste(back, x, y + height - back.Height);
    font.Draw(sheet, int(x + ContactSheet::Pad), int(y + height - back.Height), text, colour[0],
              colour[1], colour[2], int(x + back.Width));
}

}  // namespace

ContactSheet::Result ContactSheet::Scan(const std::string &folder) {
    Axes.clear();
    Entries.clear();
    Notes.clear();
    std::error_code error;
    std::vector<std::string> files;
    for (const auto &item : std::filesystem::directory_iterator(folder, error)) {
        files.push_back(item.path().filename().string());
    }
    if (error) {
        Error = folder + ": " + FaultText(error.value()) + "\n";
        return Failed;
    }
    std::sort(files.begin(), files.end());
    const std::string head = SweepExpander::HeadComment;
    const std::string vary = SweepExpander::VaryComment;
    // Scripts of several sweeps may share a folder: the lines most of them vary win.
    std::vector<std::pair<std::vector<std::string>, Entry>> found;
    std::map<std::vector<std::string>, int> votes;
    for (const std::string &file : files) {
        if (file.size() <= 4 || file.compare(file.size() - 4, 4, ".vna") != 0) continue;
        std::string text;
        FileFault fault;
        std::string path = (std::filesystem::path(folder) / file).string();
        if (ReadTextFile(path.c_str(), MaxScriptRead, text, fault) != FileCheckDone ||
            text.compare(0, head.size(), head) != 0) {
            continue;  // no variant script of a sweep
        }
        Entry entry;
        entry.Name = file.substr(0, file.size() - 4);
        std::vector<std::string> axes;
        size_t start = text.find('\n') + 1;
        while (start != 0 && text.compare(start, vary.size(), vary) == 0) {
            size_t end = text.find_first_of("\r\n", start);
            std::string line = text.substr(start + vary.size(), end - start - vary.size());
            size_t equals = line.rfind(" = ");
            if (equals == std::string::npos) break;
            axes.push_back(line.substr(0, equals));
            entry.Values.push_back(line.substr(equals + 3));
            start = text.find('\n', start) + 1;
        }
        if (axes.empty()) continue;
        ++votes[axes];
        found.emplace_back(axes, std::move(entry));
    }
    int most = 0;
    for (const auto &[axes, count] : votes) {
        if (count > most) {
            most = count;
            Axes = axes;
        }
    }
    for (auto &[axes, entry] : found) {
        if (axes == Axes) {
            Entries.push_back(std::move(entry));
        } else {
            Notes += (std::filesystem::path(folder) / (entry.Name + ".vna")).string() +
                     ": another sweep (it varies other lines); left out\n";
        }
    }
    if (Entries.empty()) {
        Error = folder + ": no variant script of a sweep\n";
        return Failed;
    }
    std::stable_sort(Entries.begin(), Entries.end(), [](const Entry &a, const Entry &b) {
        return std::lexicographical_compare(a.Values.begin(), a.Values.end(), b.Values.begin(),
                                            b.Values.end(), ValueLess);
    });
    for (Entry &entry : Entries) {
        // The final image: the last one the script writes, in whichever format it was saved;
        // a script that cannot be parsed shows the latest image there is.
        const std::string script = (std::filesystem::path(folder) / (entry.Name + ".vna")).string();
        std::vector<SweepRunner::Image> images;
        uint32_t points = 0;
        if (SweepRunner::ExpectedImages(script, images, points) && !images.empty()) {
            // A run with --format writes another type than the script's, and a folder may hold
            // both from earlier runs: the one written last is the final image.
            std::string stem = std::filesystem::path(images.back().Path).stem().string();
            std::filesystem::file_time_type newest;
            for (const char *extension : {".bmp", ".tga", ".png"}) {
                std::error_code missing;
                const auto time = std::filesystem::last_write_time(
                    std::filesystem::path(folder) / (stem + extension), missing);
                if (!missing && (entry.Image.empty() || time > newest)) {
                    entry.Image = stem + extension;
                    newest = time;
                }
            }
            if (entry.Image.empty()) {
                entry.Why = "no final image (" + stem + ") yet";
                continue;
            }
        } else {
            long long latest = -1;
            for (const std::string &file : files) {
                long long iteration = ImageIteration(file, entry.Name);
                if (iteration > latest) {
                    latest = iteration;
                    entry.Image = file;
                }
            }
        }
        if (entry.Image.empty()) {
            entry.Why = "no image yet";
            continue;
        }
    }
    for (Entry &entry : Entries) {
        // A report that is missing or unreadable says nothing: the field is not marked.
        VariantReport report;
        const bool reported =
            report.Read(VariantReport::PathOf(folder, entry.Name)) == VariantReport::Done;
        if (reported) entry.Field = report.Final;
        // The movie of the contact movie. Of those the last run wrote (its report names them;
        // none when it wrote none, whatever earlier runs left) the MP4, whose container gives
        // the rate exactly; without a report, the one written last of those there.
        std::filesystem::file_time_type newest;
        for (const char *extension : {".mp4", ".webp", ".gif"}) {
            const std::string file = entry.Name + extension;
            const std::filesystem::path path = std::filesystem::path(folder) / file;
            std::error_code missing;
            if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, missing))) {
                continue;
            }
            if (reported) {
                const bool written = std::any_of(
                    report.Movies.begin(), report.Movies.end(), [&](const std::string &movie) {
                        return std::filesystem::path(movie).filename() == file;
                    });
                if (written) {
                    entry.Movie = file;
                    break;
                }
                continue;
            }
            const auto time = std::filesystem::last_write_time(path, missing);
            if (!missing && (entry.Movie.empty() || time > newest)) {
                entry.Movie = file;
                newest = time;
            }
        }
    }
    return Done;
}

bool ContactSheet::ReadPicture(const std::string &folder, const Entry &entry, SweepPicture &picture,
                               std::string &why) const {
    const std::string path = (std::filesystem::path(folder) / entry.Image).string();
    picture = SweepPicture();
    bool read = false;
    if (entry.Image.compare(entry.Image.size() - 4, 4, ".png") == 0) {
        int code = 0;
        read = PngReader != nullptr && PngReader(path.c_str(), picture.Width, picture.Height,
                                                 picture.Rgb, code) == PngFile::Done;
        why = code == FileFault::NotRegular ? "is not a regular file"
              : code == EFBIG               ? "is larger than the contact sheet reads"
                                            : "cannot be read";
    } else {
        read = picture.ReadBmpOrTga(path, why);
    }
    if (!read) picture = SweepPicture();
    return read;
}

void ContactSheet::LayOut() {
    Cells.clear();
    if (Axes.size() <= 2) {
        // The values of each axis that some variant has, in order: row and column headings.
        std::vector<std::string> rows;
        std::vector<std::string> columns;
        for (const Entry &entry : Entries) {
            if (Axes.size() == 2) rows.push_back(entry.Values[0]);
            columns.push_back(entry.Values.back());
        }
        if (rows.empty()) rows.push_back("");
        auto unique = [](std::vector<std::string> &values) {
            std::stable_sort(values.begin(), values.end(), ValueLess);
            values.erase(std::unique(values.begin(), values.end()), values.end());
        };
        unique(rows);
        unique(columns);
        Rows = rows.size();
        Columns = columns.size();
        Cells.assign(Rows * Columns, -1);
        for (size_t i = 0; i < Entries.size(); ++i) {
            size_t row = Axes.size() == 2
                             ? size_t(std::find(rows.begin(), rows.end(), Entries[i].Values[0]) -
                                      rows.begin())
                             : 0;
            size_t column =
                size_t(std::find(columns.begin(), columns.end(), Entries[i].Values.back()) -
                       columns.begin());
            Cells[row * Columns + column] = long(i);
        }
        return;
    }
    Columns = size_t(std::ceil(std::sqrt(double(Entries.size()))));
    Rows = (Entries.size() + Columns - 1) / Columns;
    Cells.assign(Rows * Columns, -1);
    for (size_t i = 0; i < Entries.size(); ++i) Cells[i] = long(i);
}

std::string ContactSheet::ColumnHead(size_t c) const {
    for (size_t r = 0; r < Rows; ++r) {
        const long index = Cells[r * Columns + c];
        if (index >= 0) return Entries[size_t(index)].Values.back();
    }
    return "";
}

std::string ContactSheet::RowHead(size_t r) const {
    if (Axes.size() != 2) return "";
    for (size_t c = 0; c < Columns; ++c) {
        const long index = Cells[r * Columns + c];
        if (index >= 0) return Entries[size_t(index)].Values[0];
    }
    return "";
}

void ContactSheet::Measure(const SheetFont &font, uint32_t cellWidth, uint32_t cellHeight) {
    Left = Top = 0;
    PitchX = cellWidth;
    PitchY = cellHeight;
    if (!font.Loaded()) return;
    const uint32_t line = font.LineHeight();
    if (Axes.size() <= 2) {
        // Above the columns: the last axis's name, then its values; left of the rows: the first
        // axis's values under its name, which stands in the corner.
        for (size_t c = 0; c < Columns; ++c) {
            PitchX = std::max(PitchX, font.Width(ColumnHead(c)) + 2 * Pad);
        }
        Top = 2 * line + Pad;
        if (Axes.size() == 2) {
            uint32_t widest = font.Width(Axes[0]);
            for (size_t r = 0; r < Rows; ++r) widest = std::max(widest, font.Width(RowHead(r)));
            Left = widest + 2 * Pad;
        }
        return;
    }
    // Three or more axes: under each picture a line per axis, "modpar beta 7.5".
    for (const Entry &entry : Entries) {
        for (size_t a = 0; a < Axes.size(); ++a) {
            PitchX = std::max(PitchX, font.Width(Axes[a] + " " + entry.Values[a]) + Pad);
        }
    }
    PitchY = cellHeight + uint32_t(Axes.size()) * line;
}

void ContactSheet::Label(const SheetFont &font, SweepPicture &sheet, uint32_t cellHeight) const {
    if (!font.Loaded()) return;
    const int line = int(font.LineHeight());
    const uint8_t ink = 0xDD;
    if (Axes.size() <= 2) {
        font.Draw(sheet, int(CellX(0)), int(Pad) / 2, Axes.back(), ink, ink, ink, int(sheet.Width));
        for (size_t c = 0; c < Columns; ++c) {
            const std::string head = ColumnHead(c);
            const int x = int(CellX(c)) + (int(PitchX) - int(font.Width(head))) / 2;
            font.Draw(sheet, std::max(x, int(CellX(c))), int(Pad) / 2 + line, head, ink, ink, ink,
                      int(CellX(c) + PitchX));
        }
        if (Axes.size() == 2) {
            font.Draw(sheet, int(Pad), int(Pad) / 2 + line, Axes[0], ink, ink, ink, int(Left));
            for (size_t r = 0; r < Rows; ++r) {
                const std::string head = RowHead(r);
                font.Draw(sheet, int(Left) - int(Pad) - int(font.Width(head)),
                          int(CellY(r)) + (int(cellHeight) - line) / 2, head, ink, ink, ink,
                          int(Left));
            }
        }
        return;
    }
    for (size_t r = 0; r < Rows; ++r) {
        for (size_t c = 0; c < Columns; ++c) {
            const long index = Cells[r * Columns + c];
            if (index < 0) continue;
            const Entry &entry = Entries[size_t(index)];
            for (size_t a = 0; a < Axes.size(); ++a) {
                font.Draw(sheet, int(CellX(c)), int(CellY(r) + cellHeight) + int(a) * line,
                          Axes[a] + " " + entry.Values[a], ink, ink, ink, int(CellX(c) + PitchX));
            }
        }
    }
}

std::string ContactSheet::Html(const std::string &title) const {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
        Escape(title) +
        "</title>\n<style>\n"
        "body { font-family: sans-serif; background: #202020; color: #ddd; }\n"
        "a { color: #9cf; }\n"
        "table { border-collapse: collapse; }\n"
        "th, td { padding: 4px; text-align: center; vertical-align: middle; font-size: 12px; }\n"
        "td.gap { width: 160px; height: 160px; background: #404040; color: #bbb; }\n"
        "img { display: block; margin: auto; image-rendering: pixelated; }\n"
        "td.uniform img { outline: 2px solid #fa0; }\n"
        ".uniform b { color: #fa0; }\n"
        "</style>\n</head>\n<body>\n<h1>" +
        Escape(title) + "</h1>\n";
    auto cell = [&](long index) {
        if (index < 0) return std::string("<td class=\"gap\">no variant</td>");
        const Entry &entry = Entries[size_t(index)];
        if (!entry.Why.empty()) {
            return "<td class=\"gap\">" + Escape(entry.Name) + "<br>" + Escape(entry.Why) +
                   "<br><a href=\"" + Link(entry.Name) + ".vna\">script</a></td>";
        }
        // A uniform field: what the picture shows is autoscaled rounding noise.
        const bool uniform = entry.Field == VariantReport::Field::Uniform;
        return std::string(uniform ? "<td class=\"uniform\">" : "<td>") + "<a href=\"" +
               Link(entry.Image) + "\"><img src=\"thumbs/" + Link(entry.Name) + ".png\" alt=\"" +
               Escape(entry.Name) + "\" title=\"" + Escape(entry.Name) + "\"></a>" +
               (uniform ? "<b>uniform</b> " : "") + "<a href=\"" + Link(entry.Name) +
               ".vna\">script</a></td>";
    };
    if (Axes.size() <= 2) {
        page += "<table>\n<tr><th>" +
                Escape(Axes.size() == 2 ? Axes[0] + " \\ " + Axes[1] : Axes[0]) + "</th>";
        for (size_t c = 0; c < Columns; ++c) page += "<th>" + Escape(ColumnHead(c)) + "</th>";
        page += "</tr>\n";
        for (size_t r = 0; r < Rows; ++r) {
            page += "<tr><th>" + Escape(RowHead(r)) + "</th>";
            for (size_t c = 0; c < Columns; ++c) page += cell(Cells[r * Columns + c]);
            page += "</tr>\n";
        }
        page += "</table>\n";
    } else {
        page += "<ul>\n";
        for (size_t i = 0; i < Entries.size(); ++i) {
            std::string values;
            for (size_t a = 0; a < Axes.size(); ++a) {
                values += (a == 0 ? "" : ", ") + Axes[a] + " " + Entries[i].Values[a];
            }
            page += "<li><table><tr>" + cell(long(i)) + "<td>" + Escape(values) +
                    "</td></tr></table></li>\n";
        }
        page += "</ul>\n";
    }
    page +=
        "<p>contact.png: <a href=\"contact.png\">the final images in one picture</a>, in the "
        "order of this page.</p>\n</body>\n</html>\n";
    return page;
}

SweepPicture ContactSheet::Compose(const std::vector<SweepPicture> &cells, bool markUniform) const {
    static const SheetFont none;
    const SheetFont &font = Font != nullptr ? *Font : none;
    SweepPicture sheet;
    sheet.Width = Left + uint32_t(Columns) * (PitchX + Margin) + Margin;
    sheet.Height = Top + uint32_t(Rows) * (PitchY + Margin) + Margin;
    sheet.Rgb.assign(size_t(sheet.Width) * sheet.Height * 3, 0);
    sheet.Fill(0x20, 0x20, 0x20);
    SweepPicture gap;
    gap.Width = CellWidth;
    gap.Height = CellHeight;
    gap.Rgb.assign(size_t(CellWidth) * CellHeight * 3, 0);
    gap.Fill(0x40, 0x40, 0x40);
    for (size_t r = 0; r < Rows; ++r) {
        for (size_t c = 0; c < Columns; ++c) {
            long index = Cells[r * Columns + c];
            const uint32_t x = CellX(c);
            const uint32_t y = CellY(r);
            if (index < 0 && Axes.size() > 2) continue;  // past the last variant
            if (index < 0 || size_t(index) >= cells.size() || cells[size_t(index)].Width == 0) {
                sheet.Paste(gap, x + (PitchX - CellWidth) / 2, y);
                continue;
            }
            const SweepPicture &picture = cells[size_t(index)];
            // Centred in its cell when smaller than the largest.
            const uint32_t px = x + (PitchX - picture.Width) / 2;
            const uint32_t py = y + (CellHeight - picture.Height) / 2;
            sheet.Paste(picture, px, py);
            if (markUniform && Entries[size_t(index)].Field == VariantReport::Field::Uniform) {
                MarkUniform(sheet, font, px, py, picture.Width, picture.Height);
            }
        }
    }
    Label(font, sheet, CellHeight);
    return sheet;
}

ContactSheet::Result ContactSheet::Build(const std::string &folder) {
    Error.clear();
    Gaps = 0;
    if (Scan(folder) != Done) return Failed;
    // Never over a page or picture the sheet did not write.
    SweepFolder owner;
    if (owner.CheckSheet(folder) != SweepFolder::Done) {
        Error = owner.Error;
        return Failed;
    }
    LayOut();
    std::filesystem::path dir(folder);
    std::error_code error;
    std::filesystem::create_directories(dir / "thumbs", error);
    uint32_t cellWidth = 0;
    uint32_t cellHeight = 0;
    // One full picture at a time: read, made into its thumbnail and its cell, dropped; only
    // the small ones stay until the sheet is laid out.
    std::vector<SweepPicture> cells(Entries.size());
    for (size_t i = 0; i < Entries.size(); ++i) {
        Entry &entry = Entries[i];
        SweepPicture picture;
        std::string why;
        if (entry.Why.empty() && !ReadPicture(folder, entry, picture, why)) {
            entry.Why = entry.Image + " " + why;
        }
        if (!entry.Why.empty()) {
            ++Gaps;
            continue;
        }
        SweepPicture thumb = picture.Fitted(ThumbSide);
        std::string path = (dir / "thumbs" / (entry.Name + ".png")).string();
        int code = 0;
        if (Writer(path.c_str(), thumb.Width, thumb.Height, thumb.Rgb.data(),
                   size_t(thumb.Width) * 3, code) != PngFile::Done) {
            Error = path + ": " + FaultText(code) + "\n";
            return Failed;
        }
        cells[i] = picture.Fitted(CellSide);
        cellWidth = std::max(cellWidth, cells[i].Width);
        cellHeight = std::max(cellHeight, cells[i].Height);
    }
    if (cellWidth == 0) cellWidth = cellHeight = 64;  // only gaps: a sheet of grey squares
    CellWidth = cellWidth;
    CellHeight = cellHeight;
    // The headings are text: without the font the sheet is still made, only without them.
    Font = std::make_unique<SheetFont>();
    Labelled = Font->Load(FontPath, LabelPixels) == SheetFont::Done;
    if (!Labelled) {
        Notes += Font->Error + ": contact.png is written without its headings and labels\n";
    }
    Measure(*Font, cellWidth, cellHeight);
    const SweepPicture sheet = Compose(cells, true);
    int code = 0;
    std::string contact = (dir / "contact.png").string();
    if (Writer(contact.c_str(), sheet.Width, sheet.Height, sheet.Rgb.data(),
               size_t(sheet.Width) * 3, code) != PngFile::Done) {
        Error = contact + ": " + FaultText(code) + "\n";
        return Failed;
    }
    std::string leaf =
        dir.filename().empty() ? dir.parent_path().filename().string() : dir.filename().string();
    return WriteText((dir / "index.html").string(), Html("Sweep " + leaf), Error);
}
