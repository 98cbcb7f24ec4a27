#include "registry/Recordset.h"

#include "platform/Text.h"

namespace kestrun {

namespace {

[[noreturn]] void RaiseRecordsetError(int number) {
  switch (number) {
    case err::BadArguments:
      Raise(number,
            "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
    case err::NoCurrentRecord:
      Raise(number,
            "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires "
            "a current record.");
    case err::NotAllowedNow: Raise(number, "Operation is not allowed in this context.");
    case err::ItemNotFound:
      Raise(number, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    case err::AlreadyInCollection: Raise(number, "Object is already in collection. Cannot append.");
    case err::ObjectClosed: Raise(number, "Operation is not allowed when the object is closed.");
    default: Raise(number, "Multiple-step operation generated errors. Check each status value.");
  }
}

// Column names compare without regard to case. They are nearly always ASCII, which needs no case-mapped
// copies; a column is looked up for every value set or read.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;  // case mapping keeps the number of bytes
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) return text::UCase(a) == text::UCase(b);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::size_t Recordset::FieldList::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (SameName(columns_[i].name, name)) return i;
  }
  RaiseRecordsetError(err::ItemNotFound);
}

void Recordset::FieldList::Append(const std::string& strName, int32_t lngType, int32_t lngDefinedSize) {
  if (fixed_) RaiseRecordsetError(err::NotAllowedNow);
  if (lngType != adVarChar || lngDefinedSize < 1) RaiseRecordsetError(err::BadArguments);
  for (const Column& c : columns_) {
    if (SameName(c.name, strName)) RaiseRecordsetError(err::AlreadyInCollection);
  }
  columns_.push_back({strName, static_cast<std::size_t>(lngDefinedSize)});
}

void Recordset::Open() {
  if (open_) RaiseRecordsetError(err::NotAllowedNow);
  fields_.fixed_ = true;
  open_ = true;
}

void Recordset::MustBeOpen() const {
  if (!open_) RaiseRecordsetError(err::ObjectClosed);
}

void Recordset::AddNew() {
  MustBeOpen();
  rows_.emplace_back(fields_.columns_.size());
  current_ = rows_.size() - 1;
}

std::size_t Recordset::CurrentRow() const {
  if (Eof()) RaiseRecordsetError(err::NoCurrentRecord);
  return current_;
}

void Recordset::SetField(std::string_view strName, std::string_view value) {
  MustBeOpen();
  const std::size_t column = fields_.IndexOf(strName);
  const std::size_t row = CurrentRow();
  // The row keeps its old value when the new one does not fit.
  if (text::CharCount(value) > fields_.columns_[column].size) RaiseRecordsetError(err::MultipleStepErrors);
  rows_[row][column].assign(value);
}

const std::string& Recordset::Field(std::string_view strName) const {
  MustBeOpen();
  const std::size_t column = fields_.IndexOf(strName);
  return rows_[CurrentRow()][column];
}

bool Recordset::Bof() const {
  MustBeOpen();
  return rows_.empty();
}

bool Recordset::Eof() const {
  MustBeOpen();
  return current_ >= rows_.size();
}

void Recordset::MoveFirst() {
  MustBeOpen();
  current_ = 0;
}

void Recordset::MoveNext() {
  if (Eof()) RaiseRecordsetError(err::NoCurrentRecord);
  ++current_;
}

int32_t Recordset::RecordCount() const {
  MustBeOpen();
  return static_cast<int32_t>(rows_.size());
}

}  // namespace kestrun
