// placeholder, filled in with the cascade
