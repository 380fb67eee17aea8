// The tty, ppdev and raw backends, checked through the calls they make on a scripted system.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/parport.h>

#include "fake_os.hpp"
#include "hardware/ioperm_port.hpp"
#include "hardware/port_backends.hpp"
#include "hardware/tty_port.hpp"

namespace kestrum {
namespace {

using Calls = std::vector<OsCall>;
OsCall I(unsigned long request, long value = 0) { return FakeOs::IoctlCall(request, value); }

TEST(TtyPort, OpensExclusivelyWithoutWaitingForCarrierAndReadsTheModemLines) {
  FakeOs os;
  os.modemBits = TIOCM_DTR;
  BackendResult r = OpenTtyPort(os, "/dev/ttyS1", PortKind::Serial, 0x2F8);
  ASSERT_TRUE(r.port);
  ASSERT_EQ(os.calls.size(), 3u);
  EXPECT_EQ(os.calls[0].path, "/dev/ttyS1");
  EXPECT_EQ(os.calls[0].value & O_ACCMODE, O_RDWR);
  EXPECT_TRUE(os.calls[0].value & O_NOCTTY);
  EXPECT_TRUE(os.calls[0].value & O_NONBLOCK);
  EXPECT_EQ(os.calls[1], I(TIOCEXCL));
  EXPECT_EQ(os.calls[2], I(TIOCMGET));
  EXPECT_EQ(r.port->Base(), 0x2F8);
  EXPECT_EQ(r.port->In(0x2F8 + 4), kMcrDtr);  // the modem control register starts as found

  os.calls.clear();
  r.port.reset();
  EXPECT_EQ(os.calls, (Calls{{"close", 0, 7, {}}}));
}

TEST(TtyPort, FailuresComeBackAsErrno) {
  FakeOs os;
  os.openErrors["/dev/ttyS0"] = EACCES;
  EXPECT_EQ(OpenTtyPort(os, "/dev/ttyS0", PortKind::Serial, 0x3F8).error, EACCES);
  // A file that is no serial port fails on the modem line query and is closed again.
  FakeOs notTty;
  notTty.ioctlErrors[TIOCMGET] = ENOTTY;
  BackendResult r = OpenTtyPort(notTty, "/dev/null", PortKind::Serial, 0x3F8);
  EXPECT_FALSE(r.port);
  EXPECT_EQ(r.error, ENOTTY);
  EXPECT_EQ(notTty.calls.back().name, "close");
}

TEST(TtyPort, UartRegistersBecomeTtyCalls) {
  FakeOs os;
  BackendResult r = OpenTtyPort(os, "/dev/ttyS0", PortKind::Serial, 0x3F8);
  Port& p = *r.port;
  os.calls.clear();

  // Modem control: only the lines that change are touched.
  p.Out(0x3FC, 0x01);
  p.Out(0x3FC, 0x02);
  p.Out(0x3FC, 0x02);
  p.Out(0x3FC, 0x03);
  p.Out(0x3FC, 0x00);
  EXPECT_EQ(os.calls, (Calls{I(TIOCMBIS, TIOCM_DTR), I(TIOCMBIS, TIOCM_RTS), I(TIOCMBIC, TIOCM_DTR),
                             I(TIOCMBIS, TIOCM_DTR), I(TIOCMBIC, TIOCM_DTR | TIOCM_RTS)}));
  os.calls.clear();

  // Line control: the break bit, and only when it changes.
  p.Out(0x3FB, 0x47);
  p.Out(0x3FB, 0x47);
  p.Out(0x3FB, 0x07);
  EXPECT_EQ(os.calls, (Calls{I(TIOCSBRK), I(TIOCCBRK)}));
  EXPECT_EQ(p.In(0x3FB), 0x07);
  os.calls.clear();

  // Transmit register, line status after draining, CTS on modem status.
  p.Out(0x3F8, 0x00);
  EXPECT_EQ(p.In(0x3FD), kLsrThre | kLsrTemt);
  os.modemBits = TIOCM_CTS;
  EXPECT_EQ(p.In(0x3FE) & kMsrCts, kMsrCts);
  os.modemBits = TIOCM_DSR;
  EXPECT_EQ(p.In(0x3FE) & kMsrCts, 0);
  EXPECT_EQ(os.calls, (Calls{{"write", 0, 0, {}}, {"tcdrain", 0, 0, {}}, I(TIOCMGET), I(TIOCMGET)}));
  os.calls.clear();

  // Another port's registers are not ours.
  EXPECT_EQ(p.In(0x2FE), kFloatingBus);
  p.Out(0x2FC, 0x03);
  EXPECT_TRUE(os.calls.empty());
}

TEST(TtyPort, SystemCallsAndLineFormat) {
  FakeOs os;
  os.attributes.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
  os.attributes.c_iflag = IXON | ICRNL;
  os.attributes.c_lflag = ICANON | ECHO;
  cfsetospeed(&os.attributes, B9600);
  BackendResult r = OpenTtyPort(os, "/dev/ttyS0", PortKind::Serial, 0x3F8);
  Port& p = *r.port;
  os.calls.clear();

  p.SetDtr(true);
  p.SetDtr(true);  // every call reaches the line, as the program asked for it
  p.SetRts(false);
  p.SetBreak(true);
  os.modemBits = TIOCM_CTS;
  EXPECT_TRUE(p.Cts());
  p.WriteByte(0x5A);
  EXPECT_EQ(os.calls,
            (Calls{I(TIOCMBIS, TIOCM_DTR), I(TIOCMBIS, TIOCM_DTR), I(TIOCMBIC, TIOCM_RTS),
                   I(TIOCSBRK), I(TIOCMGET), {"write", 0, 0x5A, {}}}));

  p.SetLineFormat(LineFormat{});  // 8N2, rate kept
  ASSERT_TRUE(os.written);
  termios t = *os.written;
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_cflag & (PARENB | CRTSCTS | HUPCL));
  EXPECT_TRUE(t.c_cflag & CLOCAL);
  EXPECT_FALSE(t.c_iflag & (IXON | ICRNL));
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(p.In(0x3FB), kLcr8N2 | kLcrBreak);

  p.SetLineFormat(LineFormat{.baud = 115200});
  EXPECT_EQ(cfgetospeed(&*os.written), static_cast<speed_t>(B115200));
}

TEST(PpdevPort, ClaimsThePortAndReleasesItOnClose) {
  FakeOs os;
  os.controlRegister = 0x0C;
  BackendResult r = OpenPpdevPort(os, "/dev/parport0", PortKind::Parallel, 0x378);
  ASSERT_TRUE(r.port);
  ASSERT_EQ(os.calls.size(), 4u);
  EXPECT_EQ(os.calls[0].path, "/dev/parport0");
  EXPECT_EQ(os.calls[0].value & O_ACCMODE, O_RDWR);
  EXPECT_EQ(os.calls[1], I(PPEXCL));
  EXPECT_EQ(os.calls[2], I(PPCLAIM));
  EXPECT_EQ(os.calls[3], I(PPRCONTROL));
  os.calls.clear();
  r.port.reset();
  EXPECT_EQ(os.calls, (Calls{I(PPRELEASE), {"close", 0, 7, {}}}));

  FakeOs busy;
  busy.ioctlErrors[PPCLAIM] = EBUSY;
  BackendResult failed = OpenPpdevPort(busy, "/dev/parport0", PortKind::Parallel, 0x378);
  EXPECT_FALSE(failed.port);
  EXPECT_EQ(failed.error, EBUSY);
  EXPECT_EQ(busy.calls.back().name, "close");
}

TEST(PpdevPort, RegistersBecomePpdevIoctls) {
  FakeOs os;
  BackendResult r = OpenPpdevPort(os, "/dev/parport0", PortKind::Parallel, 0x378);
  Port& p = *r.port;
  os.calls.clear();

  os.dataRegister = 0xA5;
  os.statusRegister = 0x7F;
  p.Out(0x378, 0x3C);
  EXPECT_EQ(p.In(0x378), 0xA5);
  EXPECT_EQ(p.In(0x379), 0x7F);
  EXPECT_EQ(os.calls, (Calls{I(PPWDATA, 0x3C), I(PPRDATA), I(PPRSTATUS)}));
  os.calls.clear();

  // Control bit 5 turns the data lines around through PPDATADIR; the rest is PPWCONTROL.
  p.Out(0x37A, 0x27);
  p.Out(0x37A, 0x26);
  p.Out(0x37A, 0x0F);
  EXPECT_EQ(os.calls, (Calls{I(PPDATADIR, 1), I(PPWCONTROL, 0x07), I(PPWCONTROL, 0x06),
                             I(PPDATADIR, 0), I(PPWCONTROL, 0x0F)}));
  os.calls.clear();
  os.controlRegister = 0x06;
  p.Out(0x37A, 0x26);
  os.calls.clear();
  EXPECT_EQ(p.In(0x37A), 0x26);

  // The extended control register's mode bits switch the ppdev mode.
  os.calls.clear();
  std::uint8_t ecr = p.In(0x378 + 0x402);
  p.Out(0x378 + 0x402, static_cast<std::uint8_t>((ecr & 0x1F) | 0x20));  // byte mode, as is
  p.Out(0x378 + 0x402, static_cast<std::uint8_t>(ecr & 0x1F));           // standard mode
  EXPECT_EQ(os.calls, (Calls{I(PPSETMODE, IEEE1284_MODE_COMPAT)}));
  EXPECT_EQ(p.In(0x378 + 0x402), ecr & 0x1F);

  os.calls.clear();
  EXPECT_EQ(p.In(0x278), kFloatingBus);
  p.Out(0x3F8, 1);
  EXPECT_TRUE(os.calls.empty());
}

TEST(IopermPort, GrantsOnlyThePortsRegistersAndGivesThemBack) {
  FakeOs os;
  os.inputs[0x379] = 0x5F;
  BackendResult r = OpenIopermPort(os, "", PortKind::Parallel, 0x378);
  ASSERT_TRUE(r.port);
  EXPECT_EQ(os.calls, (Calls{{"ioperm on", 0x378, 3, {}}, {"ioperm on", 0x778, 3, {}}}));
  os.calls.clear();
  EXPECT_EQ(r.port->In(0x379), 0x5F);
  r.port->Out(0x77A, 0x20);
  EXPECT_EQ(r.port->In(0x3FD), kFloatingBus);  // not granted: no port instruction
  r.port->Out(0x37B, 1);
  EXPECT_EQ(os.calls, (Calls{{"inb", 0x379, 0, {}}, {"outb", 0x77A, 0x20, {}}}));
  os.calls.clear();
  r.port.reset();
  EXPECT_EQ(os.calls, (Calls{{"ioperm off", 0x378, 3, {}}, {"ioperm off", 0x778, 3, {}}}));

  // A refused second range gives the first back.
  FakeOs refused;
  refused.ioPermError = EPERM;
  refused.ioPermFailFrom = 0x6BC;
  BackendResult failed = OpenIopermPort(refused, "", PortKind::Parallel, 0x2BC);
  EXPECT_FALSE(failed.port);
  EXPECT_EQ(failed.error, EPERM);
  EXPECT_EQ(refused.calls.back(), (OsCall{"ioperm off", 0x2BC, 3, {}}));

  FakeOs serial;
  BackendResult uart = OpenIopermPort(serial, "", PortKind::Serial, 0x2E8);
  EXPECT_EQ(serial.calls, (Calls{{"ioperm on", 0x2E8, 8, {}}}));
}

}  // namespace
}  // namespace kestrum
