// The JX stand-in server for the tests: started on a free loopback port in
// a station's stand-in folder, stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace edi::test {

class JxServer {
 public:
  JxServer() = default;
  ~JxServer() { Stop(); }
  JxServer(const JxServer&) = delete;
  JxServer& operator=(const JxServer&) = delete;

  // Serves `folder` (made by "edi-jx-standin init") with `options` (as the
  // stand-in's "serve" takes them); false when it did not come up.
  bool Start(const std::string& folder, const std::string& options = "");
  void Stop();

  // "https://127.0.0.1:<port>/jx" (http:// with the --http option).
  const std::string& url() const { return url_; }

 private:
  pid_t pid_ = -1;
  std::string url_;
};

// Takes the demo's JX centre DEMOJ01 out of a demo station, for the tests
// of other things that run every centre without a JX server.
void DropDemoJxCentre(const std::string& station);

}  // namespace edi::test
