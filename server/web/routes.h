// Every request of the web server: the client's exchanges and the browser pages. Handlers run on
// the server's worker threads; they validate each input and store nothing on a refusal.
#pragma once

#include "web/store.h"

namespace httplib {
class Server;
}

namespace tamovox::web {

void installRoutes(httplib::Server& server, Store& store);

}  // namespace tamovox::web
