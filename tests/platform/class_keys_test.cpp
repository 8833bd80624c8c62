#include "platform/class_keys.h"

#include <QFile>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kx {
namespace {

class ClassKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QByteArray(dir_.path().c_str()));
  }
  void TearDown() override { qputenv("XDG_DATA_HOME", old_); }

  kxtest::TempDir dir_;
  QByteArray old_;
};

TEST_F(ClassKeysTest, KeysRoundTripWithoutRegardToCase) {
  ClassKeyStore store;
  EXPECT_TRUE(store.setDefault(".zip", "Zipfile"));
  EXPECT_TRUE(store.setDefault("Zipfile\\Shell\\Entpacken nach...\\command",
                               "/opt/kravix \"%1\" /entpacken"));
  EXPECT_TRUE(store.setDefault("Zipfile", "Zip Archiv"));
  EXPECT_TRUE(QFile::exists(ClassKeyStore::DefaultPath()));

  ClassKeyStore reopened;
  EXPECT_EQ(reopened.storedDefault(".ZIP").value_or("-"), "Zipfile");
  EXPECT_EQ(reopened.storedDefault("zipfile").value_or("-"), "Zip Archiv");
  EXPECT_EQ(reopened.storedDefault("ZIPFILE\\shell\\Entpacken nach...\\COMMAND").value_or("-"),
            "/opt/kravix \"%1\" /entpacken");
  EXPECT_FALSE(reopened.storedDefault(".arj").has_value());
}

TEST_F(ClassKeysTest, EmptyValuesWriteNothingAndOddCharactersSurvive) {
  ClassKeyStore store;
  EXPECT_FALSE(store.setDefault(".arj", ""));
  EXPECT_FALSE(store.storedDefault(".arj").has_value());
  EXPECT_TRUE(store.setDefault("Odd", "tab\there 100% \"quoted\"\nline"));
  EXPECT_EQ(ClassKeyStore().storedDefault("Odd").value_or("-"), "tab\there 100% \"quoted\"\nline");
}

TEST_F(ClassKeysTest, DeleteTreeTakesSubKeysButNotSiblings) {
  ClassKeyStore store;
  store.setDefault(".zip", "Zipfile");
  store.setDefault("Zipfile", "Zip Archiv");
  store.setDefault("Zipfile\\DefaultIcon", "/opt/kravix,-1");
  store.setDefault("Zipfile\\Shell\\Open\\command", "/opt/kravix %1");
  store.setDefault("ZipfileOther", "keep");
  EXPECT_TRUE(store.deleteTree("ZIPFILE"));
  EXPECT_FALSE(store.storedDefault("Zipfile").has_value());
  EXPECT_FALSE(store.storedDefault("Zipfile\\DefaultIcon").has_value());
  EXPECT_FALSE(store.storedDefault("Zipfile\\Shell\\Open\\command").has_value());
  EXPECT_EQ(store.storedDefault(".zip").value_or("-"), "Zipfile");
  EXPECT_EQ(store.storedDefault("ZipfileOther").value_or("-"), "keep");
  EXPECT_FALSE(store.deleteTree("Zipfile")) << "nothing left to delete";
}

TEST_F(ClassKeysTest, QueriesFallBackToTheMimeDatabase) {
  EXPECT_EQ(QueryClassDefault(".txt"), "text/plain");
  EXPECT_FALSE(QueryClassDefault("text/plain").isEmpty());
  EXPECT_EQ(QueryClassDefault(".kxnoextension"), "");
  EXPECT_EQ(QueryClassDefault("Kxnoclass"), "");
  // The store wins over the database.
  ClassKeyStore().setDefault(".txt", "Textfile");
  ClassKeyStore().setDefault("Textfile", "Textdatei");
  EXPECT_EQ(QueryClassDefault(".txt"), "Textfile");
  EXPECT_EQ(QueryClassDefault("Textfile"), "Textdatei");
}

}  // namespace
}  // namespace kx
