"""What reads a run's results and shows them: the page (html) and the
plain-text summary (text)."""
