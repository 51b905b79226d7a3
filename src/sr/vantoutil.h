// The save & restore engine: loads a save & restore file, reads the live
// values of its channels, writes new files and writes values back.
//
// The engine never prints. Every failure sets the error flag and puts a
// message on the error list; the caller decides what to show. Each of
// fill_list, read_actual, restore, sr_save and sr_save_actual starts by
// clearing flag and list.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <vanto/eqcall.h>

enum SrOption {
  SR_SET_FROM_FILE = 0,  // write the file value
  SR_ADD_FROM_DATA = 1,  // write file value + data (DATA_INT and DATA_FLOAT entries only)
  SR_SET_FROM_DATA = 2,  // write data to every entry
  SR_CHECK_CORRECT = 3,  // write the file value where the live value differs
  SR_MERGE_ADDRESS = 4,  // write the file value at the address merged with the file's merge address
};

// One entry of a file. The texts are heap copies owned by the entry.
struct sr_data {
  char* name_ = nullptr;    // channel address in the library's text form
  char* value_ = nullptr;   // value text from the file
  char* actual_ = nullptr;  // live value text; null until read_actual ran
  int type_ = 0;            // data type id from the file

  sr_data() = default;
  sr_data(const sr_data&) = delete;
  sr_data& operator=(const sr_data&) = delete;
  ~sr_data();
  void set_actual(const std::string& text);
};

class SR {
 public:
  // Largest number of entries a file may hold.
  static constexpr size_t kMaxEntries = 8000;

  SR();
  explicit SR(const char* file_name);
  SR(const char* file_name, int actual);
  ~SR();
  SR(const SR&) = delete;
  SR& operator=(const SR&) = delete;

  void set_name(const char* file_name);
  // Sets actual mode, then reads the live values (whatever act is).
  void set_actual(int act);
  // Loads the file: on an open failure the list held before stays. A file
  // that breaks the format is refused: the error list says why, and the
  // entries before the fault stay loaded. Forgets the file name.
  void fill_list();

  const std::vector<sr_data*>& get_list() const { return sr_data_p_; }
  const std::vector<char*>& get_error_list() const { return err_str_; }
  int get_error() const { return error_; }
  int get_actual() const { return actual_; }
  const char* get_actual_time() const { return act_time_; }
  const char* get_ref_time() const { return ref_time_; }
  const char* get_comment() const { return comment_; }
  const char* get_merge() const { return merge_; }
  // True when the last save rewrote its target in place, its directory
  // refusing new files: such a save is not atomic.
  bool saved_in_place() const { return saved_in_place_; }

  // Writes values to the channels (see SrOption); stop ends the run at the
  // first failure.
  void restore(float data, SrOption op, int stop);
  // Reads the live values (merged into the file's merge address when merge is
  // set and the file has one) and writes them into new_file. A channel that
  // cannot be read is left out and reported; with stop the save ends there
  // and new_file is not replaced. Empties the engine after a clean save.
  void sr_save_actual(const char* new_file, int stop, int merge);
  // In actual mode: writes the live values read before into new_file and
  // empties the engine. Outside actual mode it does nothing at all.
  void sr_save(const char* new_file);

 protected:
  void init();
  void open_file();
  void clear_list();
  void clear_err();
  void read_fill();
  void read_actual();
  void file_lock(int fd);
  void file_unlock(int fd);

  // Sets the error flag and appends a message.
  void add_error(const std::string& message);
  // Writes text into new_file through a temporary file in the same
  // directory, under the lock; returns false (with a message) on failure.
  bool write_file(const char* new_file, const std::string& text);

  vanto::EqCall vanto_call;
  char* file_name_ = nullptr;
  char* ref_time_ = nullptr;
  char* act_time_ = nullptr;
  char* comment_ = nullptr;
  char* merge_ = nullptr;
  std::FILE* fp_ = nullptr;
  int error_ = 0;
  int actual_ = 0;
  std::vector<sr_data*> sr_data_p_;
  std::vector<char*> err_str_;
  // Entries whose live value the last read_actual could not read.
  std::size_t unread_ = 0;
  bool saved_in_place_ = false;
};
