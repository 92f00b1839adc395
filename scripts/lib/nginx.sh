# nginx on loopback with a configuration and prefix of our own; never the
# system service. Source this file, then:
#   nginx_start PREFIX ROOT PORT [EXTRA-SERVER-CONF [EXTRA-HTTP-CONF]]   (sets NGINX_PID)
#   nginx_stop PREFIX
# Files are served byte for byte: gzip stays off.

nginx_start() {
  local prefix=$1 root=$2 port=$3 extra=${4:-} extra_http=${5:-}
  mkdir -p "$prefix/logs" "$prefix/tmp"
  local user_line=""
  [ "$(id -u)" = 0 ] && user_line="user root;"
  cat > "$prefix/nginx.conf" <<CONF
$user_line
worker_processes 1;
error_log $prefix/logs/error.log warn;
pid $prefix/nginx.pid;
events { worker_connections 64; }
http {
  access_log $prefix/logs/access.log;
  client_body_temp_path $prefix/tmp/body;
  proxy_temp_path $prefix/tmp/proxy;
  fastcgi_temp_path $prefix/tmp/fastcgi;
  uwsgi_temp_path $prefix/tmp/uwsgi;
  scgi_temp_path $prefix/tmp/scgi;
  types { application/zip zip; }
  default_type application/octet-stream;
  sendfile on;
  gzip off;
  $extra_http
  server {
    listen 127.0.0.1:$port;
    root $root;
    $extra
  }
}
CONF
  nginx -p "$prefix" -c "$prefix/nginx.conf" -e "$prefix/logs/error.log"
  # Ready when the pid file is written and the port answers (bounded).
  local i
  for i in $(seq 1 100); do
    if [ -s "$prefix/nginx.pid" ] && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      NGINX_PID=$(cat "$prefix/nginx.pid")
      return 0
    fi
    sleep 0.1
  done
  echo "nginx did not start on 127.0.0.1:$port" >&2
  cat "$prefix/logs/error.log" >&2 || true
  return 1
}

nginx_stop() {
  local prefix=$1
  if [ -s "$prefix/nginx.pid" ]; then
    local pid
    pid=$(cat "$prefix/nginx.pid")
    kill "$pid" 2>/dev/null || true
    local i
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
}

# A free TCP port on 127.0.0.1.
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}
