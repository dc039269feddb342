#include "editor/SpeciesTransfer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QString>
#include <QWidget>

#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/EditorState.h"
#include "rom/FailureReporter.h"
#include "rom/FieldConversions.h"
#include "rom/HexFunctions.h"
#include "rom/HexDigits.h"
#include "rom/SpeciesLayout.h"
#include "rom/SpeciesLists.h"
#include "rom/WholeFiles.h"
#include "ui/ComboBoxes.h"
#include "ui/EditorForm.h"
#include "ui/MessageBoxes.h"

namespace {

constexpr std::string_view kNoGenderControl = "NoGender";

// The control of the given name and kind. A missing control is a fault of the
// window definition, not of the user's data, so it stops loudly.
template <class Widget>
Widget& Control(QWidget& window, std::string_view name) {
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name.data(), qsizetype(name.size())));
    if (widget == nullptr) {
        throw std::logic_error("the window has no control named " + std::string(name));
    }
    return *widget;
}

// A failure the program found itself (not the file layer), e.g. a table
// offset that leaves the range of file offsets.
void ReportOffsetOutOfRange(const rom::SpeciesField& field, const EditorState& state) {
    rom::ReportFailure({EOVERFLOW, "The offset of " + std::string(field.caption) + " for species " +
                                std::to_string(state.SpeciesIndex + 1) +
                                " lies outside the range of file offsets. Nothing was transferred."});
}

// Shows one field's bytes in its control.
void ShowField(QWidget& window, EditorState& state, const rom::SpeciesField& field, const std::string& hex) {
    const int32_t number = rom::HexToNumber(hex).value_or(0);
    switch (field.presentation) {
    case rom::Presentation::Decimal:
        Control<QLineEdit>(window, field.control)
            .setText(QString::fromStdString(rom::DecimalTextFromHex(hex).value_or(hex)));
        break;
    case rom::Presentation::HexText:
        Control<QLineEdit>(window, field.control).setText(QString::fromStdString(hex));
        break;
    case rom::Presentation::ListPosition:
        ui::ShowCode(Control<QComboBox>(window, field.control), number);
        break;
    case rom::Presentation::Slider:
        Control<QScrollBar>(window, field.control).setValue(number);
        break;
    case rom::Presentation::Length: {
        // A length beyond the usual range widens the slider so that the value
        // is shown and saved exactly; a value in range restores the range
        // (after the value is set, so that narrowing never clamps it).
        auto& slider = Control<QScrollBar>(window, field.control);
        const int32_t length = rom::LengthFromHex(hex).value_or(0);
        if (length > ui::EditorForm::kLengthMax) {
            slider.setMaximum(length);
            slider.setValue(length);
        } else {
            slider.setValue(length);
            slider.setMaximum(ui::EditorForm::kLengthMax);
        }
        break;
    }
    case rom::Presentation::Gender: {
        // The check box's handler shows "FF" and switches the slider off; the
        // slider keeps the previous species' position then.
        state.GenderByte = number;
        auto& noGender = Control<QCheckBox>(window, kNoGenderControl);
        if (state.GenderByte == 0xFF) {
            noGender.setChecked(true);
        } else {
            noGender.setChecked(false);
            Control<QScrollBar>(window, field.control).setValue(state.GenderByte);
        }
        break;
    }
    }
}

std::string ToStd(const QString& text) { return text.toStdString(); }

// Converts one control's value into the bytes to write, or a refusal.
rom::Encoded EncodeField(QWidget& window, const rom::SpeciesField& field) {
    switch (field.presentation) {
    case rom::Presentation::Decimal:
        return rom::EncodeDecimal(field, ToStd(Control<QLineEdit>(window, field.control).text()));
    case rom::Presentation::HexText:
        return rom::EncodeHexText(field, ToStd(Control<QLineEdit>(window, field.control).text()));
    case rom::Presentation::ListPosition: {
        const auto& box = Control<QComboBox>(window, field.control);
        std::vector<std::string> texts;
        texts.reserve(size_t(box.count()));
        for (int i = 0; i < box.count(); ++i) {
            texts.push_back(ToStd(box.itemText(i)));
        }
        const std::vector<std::string_view> entries(texts.begin(), texts.end());
        return rom::EncodeListChoice(field, ui::ListPosition(box), ToStd(box.currentText()), entries);
    }
    case rom::Presentation::Slider:
        return rom::EncodeSlider(field, Control<QScrollBar>(window, field.control).value());
    case rom::Presentation::Length:
        return rom::EncodeLength(field, Control<QScrollBar>(window, field.control).value());
    case rom::Presentation::Gender:
        return rom::EncodeGender(field, Control<QCheckBox>(window, kNoGenderControl).isChecked(),
                                 Control<QScrollBar>(window, field.control).value());
    }
    return {"", "unknown presentation"};
}

struct PendingWrite {
    const rom::SpeciesField* field;
    int32_t offset;
    std::string hex;
};

// The sentence added to a write failure: where the save stopped and what it
// had already written, so that the user knows the state of the file.
std::string StoppedSaveNote(const std::vector<PendingWrite>& writes, size_t failedAt, size_t writtenCount) {
    std::string note = "\n\nThe save stopped at " + std::string(writes[failedAt].field->caption) + ". ";
    if (writtenCount == 0) {
        return note + "Nothing had been written.";
    }
    note += "Already written: ";
    for (size_t i = 0; i < writtenCount; ++i) {
        note += std::string(writes[i].field->caption) + (i + 1 < writtenCount ? ", " : ".");
    }
    return note;
}

// Runs `access` and returns the failure it reported, keeping it from the
// reporter so that the caller can add to it and report once.
template <class Access>
std::optional<rom::Failure> Captured(Access access) {
    rom::ScopedFailureCapture capture;
    access();
    return capture.captured();
}

void ReportStoppedSave(rom::Failure failure, const std::vector<PendingWrite>& writes, size_t failedAt,
                       size_t writtenCount) {
    failure.description += StoppedSaveNote(writes, failedAt, writtenCount);
    rom::ReportFailure(failure);
}

// For an image whose tables its own lists prove (a complete image), why a
// changed Pointer would leave it unopenable: the pointer must lead to a
// complete evolution and move list in its bank. Empty when it does, when it
// is unchanged, or for an image built by hand.
std::string StrayPointer(const EditorState& state, int32_t offset, const std::string& hex) {
    if (!state.Layout || state.Layout->tables.empty() || hex.size() != 4) return {};
    const std::optional<std::string> stored = HexFunctions::TryReadHexBytes(state.RomFile, offset, 2);
    if (!stored || *stored == hex) return {};
    const rom::FileRead read = rom::ReadWholeFile(state.RomFile, int64_t{8} * 1024 * 1024);
    if (read.status != rom::FileStatus::Done) return {};  // the writes that follow report it
    const auto byte = [&](size_t at) { return rom::hexdigits::Value(hex[at]) * 16 + rom::hexdigits::Value(hex[at + 1]); };
    const auto address = static_cast<uint16_t>(byte(0) | byte(2) << 8);
    const rom::EvoMoveList list = rom::ReadEvoMoveListAt(read.bytes, state.Profile.EvoMovePointerOffset, address);
    if (list.place.readable()) return {};
    return "The Pointer " + hex + " leads to no complete evolution and move list (" + list.place.unreadable +
           "). This image's tables are proven by, among other things, every pointer leading to a list, so it would "
           "no longer open. Nothing was saved.";
}

}  // namespace

bool LoadSpeciesFields(QWidget& window, EditorState& state) {
    for (const rom::SpeciesField& field : rom::kSpeciesFields) {
        const std::optional<int32_t> offset = rom::FieldOffset(state.Profile, state.SpeciesIndex, field);
        if (!offset) {
            ReportOffsetOutOfRange(field, state);
            return false;
        }
        const std::optional<std::string> hex = HexFunctions::TryReadHexBytes(state.RomFile, *offset, field.width);
        if (!hex) {
            return false;
        }
        ShowField(window, state, field, *hex);
    }
    return true;
}

bool SaveSpeciesFields(QWidget& window, const EditorState& state, ui::MessageBoxes& boxes) {
    std::vector<PendingWrite> writes;
    writes.reserve(rom::kSpeciesFields.size());
    for (const rom::SpeciesField& field : rom::kSpeciesFields) {
        rom::Encoded encoded = EncodeField(window, field);
        if (!encoded.ok()) {
            boxes.Show(QString::fromStdString(encoded.refusal + " Nothing was saved."), ui::kApplicationTitle);
            return false;
        }
        const std::optional<int32_t> offset = rom::FieldOffset(state.Profile, state.SpeciesIndex, field);
        if (!offset) {
            ReportOffsetOutOfRange(field, state);
            return false;
        }
        if (field.table == rom::SpeciesTable::EvoMovePointer) {
            const std::string stray = StrayPointer(state, *offset, encoded.hex);
            if (!stray.empty()) {
                boxes.Show(QString::fromStdString(stray), ui::kApplicationTitle);
                return false;
            }
        }
        writes.push_back({&field, *offset, std::move(encoded.hex)});
    }

    // Every value is good; make sure the file can take every write before the
    // first one, so that a file that shrank or became read-only is left as it was.
    for (size_t i = 0; i < writes.size(); ++i) {
        if (auto failure = Captured([&] {
                HexFunctions::CheckWritable(state.RomFile, writes[i].offset, writes[i].field->width);
            })) {
            ReportStoppedSave(*failure, writes, i, 0);
            return false;
        }
    }
    for (size_t i = 0; i < writes.size(); ++i) {
        if (auto failure = Captured([&] { HexFunctions::WriteHexBytes(state.RomFile, writes[i].offset, writes[i].hex); })) {
            ReportStoppedSave(*failure, writes, i, i);
            return false;
        }
    }
    // One flush after the last write, so that a save that ends without a
    // message has reached the disk. Each write above opened and closed the
    // file on its own; this does not change what they wrote.
    if (auto failure = Captured([&] { HexFunctions::SyncFile(state.RomFile); })) {
        failure->description += "\n\nEvery field of the species was written.";
        rom::ReportFailure(*failure);
        return false;
    }
    return true;
}
