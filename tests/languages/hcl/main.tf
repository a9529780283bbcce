terraform {
  required_version = ">= 1.3.0"

  required_providers {
    aws = {
      source  = "hashicorp/aws"
      version = "~> 5.0"
    }
  }
}

provider "aws" {
  region = "eu-west-1"

  default_tags {
    tags = local.common_tags
  }
}

locals {
  common_tags = merge(var.tags, {
    Environment = var.environment
    Name        = var.name
  })

  public_subnets  = [for s in var.subnets : s.cidr if s.public]
  private_subnets = [for s in var.subnets : s.cidr if !s.public]
  zones_by_cidr   = { for s in var.subnets : s.cidr => s.zone }
  grouped = {
    for s in var.subnets : s.zone => s.cidr...
  }

  is_production = var.environment == "production"
  replicas      = local.is_production ? var.instance_count * 2 : var.instance_count
  half          = floor(local.replicas / 2) % 3
  span          = local.replicas - local.half
  ok            = local.replicas >= 1 && (local.half <= 4 || !local.is_production)
  first_port    = var.ports[0]
  all_ids       = aws_instance.web[*].id
  legacy        = aws_instance.web.0.id
  label         = "${var.name}-${var.environment}"
  escaped       = "literal $${not_interpolated} and %%{not_a_directive}"
  quoted        = "a \"quoted\" word\tand a tab\\"
}

resource "aws_security_group" "web" {
  name        = "${local.label}-web"
  description = "Web traffic"

  dynamic "ingress" {
    for_each = var.ports
    content {
      from_port   = ingress.value
      to_port     = ingress.value
      protocol    = "tcp"
      cidr_blocks = ["0.0.0.0/0"]
    }
  }

  egress {
    from_port   = 0
    to_port     = 0
    protocol    = "-1"
    cidr_blocks = ["0.0.0.0/0"]
  }

  lifecycle {
    create_before_destroy = true
    ignore_changes        = [tags["LastScanned"]]
  }
}

resource "aws_instance" "web" {
  count         = local.replicas
  ami           = data.aws_ami.ubuntu.id
  instance_type = local.is_production ? "m5.large" : "t3.micro"

  vpc_security_group_ids = [aws_security_group.web.id]

  user_data = <<-EOT
    #!/bin/bash
    echo "Starting ${var.name} number ${count.index}"
    %{ if local.is_production ~}
    export MODE=production
    %{ else ~}
    export MODE=debug
    %{ endif ~}
      indented line stays indented

    for p in %{ for p in var.ports }${p} %{ endfor }; do
      echo "$p"
    done
  EOT

  tags = merge(local.common_tags, { Index = count.index })
}

resource "aws_launch_template" "worker" {
  name_prefix = "${local.label}-worker"
  user_data = base64encode(<<-SCRIPT
    #!/bin/sh
    set -eu
    %{ if local.is_production }
      echo "production: ${var.name}"
    %{ endif }
    for port in ${join(" ", [for p in var.ports : tostring(p)])}; do
        echo "port $port"

    done
    SCRIPT
  )
}

data "aws_ami" "ubuntu" {
  most_recent = true
  owners      = ["099720109477"]

  filter {
    name   = "name"
    values = ["ubuntu/images/hvm-ssd/ubuntu-jammy-22.04-amd64-server-*"]
  }
}

resource "aws_iam_policy" "read" {
  name   = "${local.label}-read"
  policy = <<POLICY
{
  "Version": "2012-10-17",
  "Statement": [
    {
      "Effect": "Allow",
      "Action": ["s3:GetObject"],
      "Resource": "arn:aws:s3:::${var.name}/*"
    }
  ]
}
POLICY
}

/* A module call with
   a block comment over lines. */
module "network" {
  source = "./modules/network"

  cidr    = "10.0.0.0/16"
  subnets = { for i, s in var.subnets : i => s }
  names   = [for i in range(3) : format("%s-%02d", var.name, i)]
}

output "instance_ips" {
  value       = aws_instance.web[*].private_ip
  description = "Private addresses"
}

output "summary" {
  value = templatefile("${path.module}/summary.tpl", {
    name  = var.name
    count = local.replicas
  })
}

output "banner" {
  value = "%{ for i, ip in aws_instance.web[*].private_ip }${i}: ${ip}%{ if i < length(aws_instance.web) - 1 }, %{ endif }%{ endfor }"
}
