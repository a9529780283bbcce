name           = "shop"
environment    = "production"
instance_count = 3
ports          = [80, 443]

tags = {
  team  = "web"
  owner = "ops@example.org"
}

subnets = [
  { cidr = "10.0.1.0/24", zone = "eu-west-1a", public = true },
  {
    cidr = "10.0.2.0/24"
    zone = "eu-west-1b"
  },
]
