#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/RuntimeError.h"

namespace kestrun {

// Failures of a record set, with the numbers and words of the data-access library whose record sets
// callers know.
namespace err {
inline constexpr int BadArguments = 3001;               // a column of a type or size a record set cannot hold
inline constexpr int NoCurrentRecord = 3021;            // before the first or after the last row
inline constexpr int NotAllowedNow = 3219;              // declaring a column of an open record set
inline constexpr int ItemNotFound = 3265;               // no column of that name
inline constexpr int AlreadyInCollection = 3367;        // a second column of the same name
inline constexpr int ObjectClosed = 3704;               // rows asked of a record set not yet opened
inline constexpr int MultipleStepErrors = -2147217887;  // a value longer than its column
}  // namespace err

// An in-memory table of named text columns, with no database behind it: its columns are declared,
// then it is opened empty, rows are added one by one and read through a current row. Only text
// columns of a declared size exist; a value longer than its column, or a column that does not exist,
// raises the runtime error the callers of such record sets expect. Nothing is ever written anywhere.
class Recordset {
 public:
  // The type code of a variable-length text column.
  static constexpr int32_t adVarChar = 200;

  // The columns of the record set: declared before it is opened, fixed afterwards.
  class FieldList {
   public:
    // Declares a text column of at most `lngDefinedSize` characters. Column names compare without
    // regard to case.
    void Append(const std::string& strName, int32_t lngType, int32_t lngDefinedSize);

   private:
    friend class Recordset;
    struct Column {
      std::string name;
      std::size_t size;
    };
    std::size_t IndexOf(std::string_view name) const;

    std::vector<Column> columns_;
    bool fixed_ = false;
  };

  FieldList& Fields() { return fields_; }

  // Opens the record set empty, in memory: both its beginning and end marks are set.
  void Open();
  bool IsOpen() const { return open_; }

  // Appends an empty row and makes it the current row.
  void AddNew();
  // The current row's value in the column `strName`.
  void SetField(std::string_view strName, std::string_view value);
  const std::string& Field(std::string_view strName) const;

  // The beginning and end marks. Rows are only ever read forwards, so the beginning mark is set only
  // when there are no rows at all. (Spelled thus because EOF is a macro of the C library.)
  bool Bof() const;
  bool Eof() const;
  // To the first row; on an empty record set the marks stay set.
  void MoveFirst();
  // To the next row; past the last one the end mark is set. Raises when it is set already.
  void MoveNext();
  int32_t RecordCount() const;

 private:
  void MustBeOpen() const;
  std::size_t CurrentRow() const;

  FieldList fields_;
  std::vector<std::vector<std::string>> rows_;
  std::size_t current_ = 0;
  bool open_ = false;
};

}  // namespace kestrun
