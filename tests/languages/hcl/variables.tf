# Inputs of the web service module.

variable "name" {
  description = "Name prefix for every resource"
  type        = string
}

variable "environment" {
  type    = string
  default = "staging"

  validation {
    condition     = contains(["staging", "production"], var.environment)
    error_message = "The environment must be staging or production, not ${var.environment}."
  }
}

variable "instance_count" {
  type    = number
  default = 2
}

variable "ports" {
  description = "Ports the load balancer listens on"
  type        = list(number)
  default     = [80, 443, 8080]
}

variable "tags" {
  type = map(string)
  default = {
    team    = "platform"
    "cost-center" = "cc-1234"
  }
}

variable "subnets" {
  type = list(object({
    cidr = string
    zone = string
    public = optional(bool, false)
  }))
  default = []
}

variable "ratio" {
  type    = number
  default = 0.75
}

variable "big" {
  default = 1.5e3
}
