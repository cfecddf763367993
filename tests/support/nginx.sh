# Sourced by the end-to-end tests and the benchmarks: nginx on a free loopback port.
#
# start_nginx ROOT WORKDIR [DEFAULT_TYPE] [CONNECTIONS] [HTTP_EXTRA] [SERVER_EXTRA]
#   serves ROOT; keeps its configuration, logs and temporary files in WORKDIR; sets
#   nginx_port and nginx_pid, and returns once the port accepts connections. The extras
#   are directives added to the http and server blocks (a log format, a rate limit).
start_nginx() {
    local root=$1 work=$2 type=${3:-text/html} connections=${4:-256}
    local http_extra=${5:-access_log off;} server_extra=${6:-}
    local binary
    binary=$(command -v nginx || echo /usr/sbin/nginx)
    nginx_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections $connections; }
http {
    $http_extra
    sendfile on;
    default_type $type;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    fastcgi_temp_path $work/fastcgi;
    uwsgi_temp_path $work/uwsgi;
    scgi_temp_path $work/scgi;
    server {
        listen 127.0.0.1:$nginx_port;
        root $root;
        $server_extra
    }
}
CONF
    "$binary" -c "$work/nginx.conf" -p "$work" &
    nginx_pid=$!
    for _ in $(seq 1 50); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null; then return 0; fi
        sleep 0.1
    done
    echo "nginx did not start"
    return 1
}
