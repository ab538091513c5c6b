#include "ui/connection_texts.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "net/ftp_exceptions.h"

namespace ravelo {
namespace {

const std::string kFingerprint = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";

TEST(ConnectionTextsTest, ThePanelSaysWhetherTheConnectionIsEncrypted) {
  const struct {
    bool encrypted;
    TFtpTlsMode mode;
    bool offered;
    const char* text;
    const char* tool_tip;
  } cases[] = {
      {true, tmIfOffered, true, "Connected (TLS)", "Encrypted: FTP over TLS"},
      {false, tmIfOffered, false, "Connected (plain FTP)",
       "Not encrypted: the server does not offer TLS"},
      {false, tmIfOffered, true, "Connected (plain data)",
       "Data connections not encrypted: the server refuses to encrypt them"},
      {false, tmPlain, false, "Connected (plain FTP)", "Not encrypted: the project uses plain FTP"},
  };
  for (const auto& c : cases) {
    const TConnectionPanel panel = ConnectedPanel(c.encrypted, c.mode, c.offered);
    EXPECT_EQ(panel.Text, c.text) << c.encrypted << int(c.mode) << c.offered;
    EXPECT_EQ(panel.ToolTip, c.tool_tip) << c.encrypted << int(c.mode) << c.offered;
  }
}

TEST(ConnectionTextsTest, OnlyACertificateTheUserMayAcceptIsAskedAbout) {
  using E = EFtpCertificateRejected;
  EXPECT_EQ(GroupedFingerprint(kFingerprint),
            "0011 2233 4455 6677 8899 AABB CCDD EEFF\n0011 2233 4455 6677 8899 AABB CCDD EEFF");
  EXPECT_EQ(GroupedFingerprint("ABC"), "ABC");

  const auto question =
      CertificateQuestion(E(E::crNotTrusted, "self-signed", kFingerprint), "ftp.example.org:2121");
  ASSERT_TRUE(question);
  EXPECT_EQ(question->Fingerprint, kFingerprint);
  EXPECT_EQ(question->Text,
            "The server ftp.example.org:2121 presents a certificate that cannot be trusted:\n"
            "Server Certificate Not Trusted (self-signed).\n\nSHA-256 fingerprint:\n" +
                GroupedFingerprint(kFingerprint) +
                "\n\nCompare it with the one your host gives. Accept this certificate for this "
                "project and connect?");
  const auto changed = CertificateQuestion(E(E::crChanged, "", kFingerprint), "h");
  ASSERT_TRUE(changed);
  EXPECT_NE(changed->Text.find("\nServer Certificate Changed Since It Was Accepted.\n"),
            std::string::npos);

  EXPECT_FALSE(CertificateQuestion(E(E::crDataDiffers, "", kFingerprint), "h"));
  EXPECT_FALSE(CertificateQuestion(EFtpTlsRequired(EFtpTlsRequired::trNoLongerOffered), "h"));
  EXPECT_FALSE(CertificateQuestion(std::runtime_error("Login incorrect"), "h"));
}

}  // namespace
}  // namespace ravelo
