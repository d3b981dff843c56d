// The record layouts against the files: the contact file the library
// creates, the master files of the test builders and an independent dBASE
// reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "record/contact_record.h"
#include "record/master_record.h"
#include "record/remark_block.h"
#include "record/view_codec.h"
#include "support/contact_file_builder.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/temp_dir.h"

namespace osp::log {
namespace {

// Packed LogHandle fields are passed to the test macros by value (+field):
// the macros bind references, which a packed field cannot take.

// Field name -> record offset (mark = 0) and width, from a file's descriptors.
std::map<std::string, RecordField> descriptors(const std::vector<uint8_t>& file) {
  std::map<std::string, RecordField> out;
  int32_t offset = 1;
  for (size_t at = 32; at + 32 <= file.size() && file[at] != 0x0D; at += 32) {
    const std::string name(reinterpret_cast<const char*>(&file[at]),
                           strnlen(reinterpret_cast<const char*>(&file[at]), 11));
    out[name] = RecordField{offset, file[at + 16]};
    offset += file[at + 16];
  }
  return out;
}

void expect_field(const std::map<std::string, RecordField>& d, const char* name, RecordField f) {
  ASSERT_TRUE(d.count(name)) << name;
  EXPECT_EQ(d.at(name).offset, f.offset) << name;
  EXPECT_EQ(d.at(name).width, f.width) << name;
}

TEST(RecordLayout, ContactFieldsStandWhereTheCreatedHeaderSays) {
  test::HookRecorder hooks;
  test::TempDir dir;
  const std::string path = dir.file("log.dbs");
  ASSERT_EQ(dbf::create(path.c_str()), 0);
  const auto d = descriptors(test::read_file(path));
  EXPECT_EQ(d.size(), 13u);
  expect_field(d, "CALLS", contact::kCalls);
  expect_field(d, "IGN", contact::kIgn);
  expect_field(d, "POTBL", contact::kPotbl);
  expect_field(d, "CODE", contact::kCode);
  expect_field(d, "GL", contact::kGl);
  expect_field(d, "FREQ", contact::kFreq);
  expect_field(d, "MODE", contact::kMode);
  expect_field(d, "NAME", contact::kName);
  expect_field(d, "QSL", contact::kQsl);
  expect_field(d, "DATE", contact::kDate);
  expect_field(d, "TIME", contact::kTime);
  expect_field(d, "RST", contact::kRst);
  expect_field(d, "OFS", contact::kOfs);
  // The builder's contact files have the same layout.
  EXPECT_EQ(descriptors(test::ContactFileBuilder().dbs_bytes()).size(), 13u);
  for (const auto& [name, f] : descriptors(test::ContactFileBuilder().dbs_bytes())) {
    expect_field(d, name.c_str(), f);
  }
}

TEST(RecordLayout, MasterBuilderGivesTheDataOffsetsTheLibraryReads) {
  const auto d = descriptors(test::master_table({}).bytes());
  expect_field(d, "CODE", master::kCode);
  expect_field(d, "NAME", master::kName);
  expect_field(d, "FLG", master::kFlg);
  EXPECT_EQ(d.at("HED").offset, master::kHedEria.offset);
  EXPECT_EQ(d.at("ERIA").offset + d.at("ERIA").width, master::kHedEria.end());
  expect_field(d, "CFM", master::kConfirmed);
  expect_field(d, "WKD", master::kWorked);
  expect_field(d, "RSV", master::kUnused);

  test::MasterEntry e;
  e.code = "100101";
  e.flg = '3';
  e.confirmed = 0x0005;
  e.worked = 0x8007;
  const std::vector<uint8_t> data = test::master_data(e);
  ASSERT_EQ(data.size(), static_cast<size_t>(master::kDataSize));
  EXPECT_EQ(master::confirmed_mask(data.data()), 0x0005);
  EXPECT_EQ(master::worked_mask(data.data()), 0x8007);
  uint8_t key[master::kFlgCodeKeyLength];
  master::flg_code_key(data.data(), key);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 7), "3100101");
}

TEST(RecordLayout, BuiltLogReadsBackThroughTheRecordFileAndRemarks) {
  test::TempDir dir;
  test::LogGenerator gen(5);
  const std::vector<test::TestContact> contacts = gen.contacts(300);
  test::ContactFileBuilder b;
  for (const auto& c : contacts) b.add(c);
  b.write_log(dir.file("log"));

  LogHandle lh{};
  ASSERT_EQ(dbf::open(dir.file("log.dbs").c_str(), &lh.dbs.handle), 0);
  EXPECT_EQ(+lh.dbs.handle.record_count, 300);
  lh.dbr_file = file_open_existing(dir.file("log.dbr").c_str(), kGenericReadWrite);
  ASSERT_NE(+lh.dbr_file, kNoFile);
  for (int r = 1; r <= 300; ++r) {
    ASSERT_EQ(dbf::read(&lh.dbs.handle, r, lh.dbs_image), 0);
    ASSERT_EQ(read_remark_block(&lh, contact::remark_offset(lh.dbs_image)), 0);
    unpack_view(&lh, kUnpackBoth);
    ASSERT_EQ(test::view_difference(lh.view, test::expected_view(contacts[r - 1])), "")
        << "record " << r;
  }
  file_close(lh.dbr_file);
  dbf::close(&lh.dbs.handle);
}

// Runs a script with the system's Python and its dBASE reader; returns its output.
std::string run_python(const std::string& script) {
  const std::string command = "/usr/bin/python3 -c '" + script + "' 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return "cannot start python";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

TEST(RecordLayout, PackedContactsReadByAnIndependentDbaseReader) {
  test::HookRecorder hooks;
  test::TempDir dir;
  const std::string path = dir.file("log.dbs");
  ASSERT_EQ(dbf::create(path.c_str()), 0);
  DbfHandle h{};
  ASSERT_EQ(dbf::open(path.c_str(), &h), 0);
  test::LogGenerator gen(77);
  std::string want;
  for (int i = 0; i < 200; ++i) {
    const test::TestContact c = gen.next();
    ContactView v = test::expected_view(c);
    uint8_t image[contact::kRecordSize] = {};
    pack_contact(&v, image);
    contact::set_remark_offset(image, static_cast<uint32_t>(256 + 7 * i));
    ASSERT_EQ(dbf::append(&h, image), 0);
    // What the reader must find: every field's bytes in hexadecimal.
    const std::vector<uint8_t> data = test::contact_data(c, static_cast<uint32_t>(256 + 7 * i));
    char hex[3];
    for (size_t k = 0; k < data.size(); ++k) {
      std::snprintf(hex, sizeof hex, "%02x", data[k]);
      want += hex;
    }
    want += "\n";
  }
  dbf::close(&h);

  const std::string script =
      "import dbfread\n"
      "t = dbfread.DBF(\"" + path + "\", raw=True)\n"
      "names = [f.name for f in t.fields]\n"
      "assert names == [\"CALLS\",\"IGN\",\"POTBL\",\"CODE\",\"GL\",\"FREQ\",\"MODE\",\"NAME\","
      "\"QSL\",\"DATE\",\"TIME\",\"RST\",\"OFS\"], names\n"
      "for r in t:\n"
      "    print(b\"\".join(r[n] for n in names).hex())\n";
  EXPECT_EQ(run_python(script), want);
}

}  // namespace
}  // namespace osp::log
