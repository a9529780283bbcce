// A Nomad-style job description.
job "cache" {
  datacenters = ["dc1"]
  type        = "service"

  group "cache" {
    count = 1

    network {
      port "db" {
        to = 6379
      }
    }

    task "redis" {
      driver = "docker"

      config {
        image = "redis:7"
        ports = ["db"]
        args  = ["--maxmemory", "256mb"]
      }

      template {
        data        = <<EOH
REDIS_HOST={{ env "NOMAD_IP_db" }}
PORT=${NOMAD_PORT_db}
EOH
        destination = "local/env"
        env         = true
      }

      resources {
        cpu    = 500
        memory = 256
      }
    }
  }
}
